#include "SkinImages.h"

#include "SkinFiles.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>

namespace quarrow {

namespace {

QImage decode(const QByteArray& data) {
    QBuffer buffer;
    buffer.setData(data);
    QImageReader reader(&buffer);
    // The size is checked before anything is decoded.
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > SkinImages::kMaxSide ||
        size.height() > SkinImages::kMaxSide) {
        return {};
    }
    return reader.read();
}

}  // namespace

bool SkinImages::add(SkinFiles& files, const QString& name) {
    if (paths_.contains(name)) return true;
    if (unusable_.contains(name) || folder_.isEmpty()) return false;

    const std::optional<QByteArray> data = files.read(name);
    const QImage image = data ? decode(*data) : QImage();
    if (image.isNull()) {
        unusable_.insert(name);
        return false;
    }
    const QByteArray digest = QCryptographicHash::hash(*data, QCryptographicHash::Sha256).toHex();
    const QString path =
        QDir(folder_).filePath(QString::fromLatin1(digest) + QStringLiteral(".png"));
    if (!QFileInfo::exists(path) && !image.save(path, "PNG")) {
        unusable_.insert(name);
        return false;
    }
    paths_.insert(name, path);
    return true;
}

}  // namespace quarrow
