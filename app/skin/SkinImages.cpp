#include "SkinImages.h"

#include "SkinFiles.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>

namespace quarrow {

bool SkinImages::add(SkinFiles& files, const QString& name) {
    if (paths_.contains(name)) return true;
    if (unusable_.contains(name) || !dir_.isValid()) return false;

    const std::optional<QByteArray> data = files.read(name);
    QImage image;
    if (data) {
        QBuffer buffer;
        buffer.setData(*data);
        QImageReader reader(&buffer);
        // The size is checked before anything is decoded.
        const QSize size = reader.size();
        if (size.isValid() && size.width() <= kMaxSide && size.height() <= kMaxSide) {
            image = reader.read();
        }
    }
    const QString path = dir_.filePath(QStringLiteral("image%1.png").arg(paths_.size()));
    if (image.isNull() || !image.save(path, "PNG")) {
        unusable_.insert(name);
        return false;
    }
    paths_.insert(name, path);
    return true;
}

}  // namespace quarrow
