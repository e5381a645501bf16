#include "SkinFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace quarrow {

std::optional<QByteArray> SkinFolder::read(const QString& name) {
    if (!IsSkinFileName(name)) return std::nullopt;
    QFile file(QDir(folder_).filePath(name));
    if (!QFileInfo(file.fileName()).isFile()) return std::nullopt;
    if (!file.open(QIODevice::ReadOnly)) {
        throw ESkinError(QStringLiteral("Cannot read the skin file %1: %2")
                             .arg(file.fileName(), file.errorString()));
    }
    const qint64 expected = file.size();
    spend(static_cast<quint64>(expected), name);
    // One byte more than the file claims, so that a file growing while it is
    // read is noticed rather than cut.
    QByteArray data = file.read(expected + 1);
    if (data.size() != expected || file.error() != QFileDevice::NoError) {
        throw ESkinError(QStringLiteral("Cannot read the skin file %1: %2")
                             .arg(file.fileName(), file.errorString()));
    }
    return data;
}

}  // namespace quarrow
