#include "SkinFiles.h"

#include "SkinArchive.h"
#include "SkinFolder.h"

#include <QDir>
#include <QFileInfo>

namespace quarrow {

bool IsSkinFileName(const QString& name) {
    if (name.isEmpty() || name.size() > 255 || name == u"." || name == u"..") return false;
    for (const QChar c : name) {
        if (c.unicode() < 32 || c == u'/' || c == u'\\' || c == u':') return false;
    }
    return true;
}

std::unique_ptr<SkinFiles> SkinFiles::locate(const QString& folder, const QString& name) {
    const QString base = QDir::fromNativeSeparators(folder);
    if (!IsSkinFileName(name) || !QDir::isAbsolutePath(base)) return nullptr;
    const QDir dir(base);

    const QFileInfo packed(dir.filePath(name + QStringLiteral(".asz")));
    if (packed.isFile()) return std::make_unique<SkinArchive>(packed.filePath());

    const QFileInfo options(dir.filePath(name + QStringLiteral("/Options.dat")));
    if (options.isFile()) return std::make_unique<SkinFolder>(options.path());

    return nullptr;
}

void SkinFiles::spend(quint64 bytes, const QString& name) {
    if (bytes > static_cast<quint64>(kMaxSkinBytes - spent_)) {
        throw ESkinError(QStringLiteral("The skin %1 is too large: %2 would take it past %3 MiB")
                             .arg(origin(), name)
                             .arg(kMaxSkinBytes / (1024 * 1024)));
    }
    spent_ += static_cast<qint64>(bytes);
}

}  // namespace quarrow
