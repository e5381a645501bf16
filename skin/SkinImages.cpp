#include "SkinImages.h"

#include "SkinFiles.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QImage>
#include <QImageReader>

namespace quarrow {

namespace {

const QString kFolder = QStringLiteral("/skin/pictures");

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
    if (unusable_.contains(name)) return false;

    const std::optional<QByteArray> data = files.read(name);
    const QImage image = data ? decode(*data) : QImage();
    if (image.isNull()) {
        unusable_.insert(name);
        return false;
    }
    const QByteArray digest = QCryptographicHash::hash(*data, QCryptographicHash::Sha256).toHex();
    const QString fileName = QString::fromLatin1(digest) + QStringLiteral(".png");
    auto kept = files_.find(fileName);
    if (kept == files_.end()) {
        QByteArray png;
        QBuffer buffer(&png);
        auto picture = buffer.open(QIODevice::WriteOnly) && image.save(&buffer, "PNG")
                           ? std::make_unique<MemoryResource>(kFolder, fileName, png)
                           : nullptr;
        if (!picture || !picture->isValid()) {
            unusable_.insert(name);
            return false;
        }
        kept = files_.emplace(fileName, std::move(picture)).first;
    }
    paths_.insert(name, kept->second->path());
    return true;
}

}  // namespace quarrow
