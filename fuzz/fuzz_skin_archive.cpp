// Packed skins: any file read as Shine.asz either opens or is refused with
// ESkinError, every entry either reads in full or is refused, and all the
// entries together never take more than the skin's budget.

#include "skin/SkinArchive.h"

#include <zip.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

QTemporaryDir* gDir = nullptr;

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

// The names the archive's directory lists, read with libzip itself.
QStringList entryNames(const QString& path) {
    QStringList names;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, nullptr);
    if (archive == nullptr) return names;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
        if (name != nullptr) names.append(QString::fromUtf8(name));
    }
    zip_discard(archive);
    return names;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gDir = new QTemporaryDir();
    if (!gDir->isValid()) fail("no temporary folder");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString path = gDir->filePath(QStringLiteral("Shine.asz"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) !=
            static_cast<qint64>(size)) {
        fail("cannot write the archive");
    }
    file.close();

    std::unique_ptr<quarrow::SkinArchive> archive;
    try {
        archive = std::make_unique<quarrow::SkinArchive>(path);
    } catch (const quarrow::ESkinError&) {
        return 0;
    }
    QStringList names = entryNames(path);
    names << QStringLiteral("Options.dat") << QStringLiteral("check.png")
          << QStringLiteral("../Options.dat") << QString();
    qint64 total = 0;
    for (const QString& name : names) {
        try {
            const std::optional<QByteArray> entry = archive->read(name);
            if (!entry) continue;
            if (!quarrow::IsSkinFileName(name)) fail("a name outside the skin was read");
            total += entry->size();
            if (total > quarrow::kMaxSkinBytes) fail("the skin read past its budget");
        } catch (const quarrow::ESkinError&) {
            // Refused: an entry that cannot be read or does not fit.
        }
    }
    return 0;
}
