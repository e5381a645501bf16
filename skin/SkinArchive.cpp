#include "SkinArchive.h"

#include <zip.h>

namespace quarrow {

namespace {

QString zipErrorText(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    QString text = QString::fromUtf8(zip_error_strerror(&error));
    zip_error_fini(&error);
    return text;
}

// Closes an entry of the archive however reading it ends.
struct EntryCloser {
    void operator()(zip_file_t* entry) const { zip_fclose(entry); }
};

}  // namespace

SkinArchive::SkinArchive(QString path) : path_(std::move(path)) {
    int code = 0;
    // libzip takes file names in UTF-8 on every system.
    archive_ = zip_open(path_.toUtf8().constData(), ZIP_RDONLY, &code);
    if (archive_ == nullptr) fail(zipErrorText(code));
}

SkinArchive::~SkinArchive() {
    if (archive_ != nullptr) zip_discard(archive_);
}

void SkinArchive::fail(const QString& reason) const {
    throw ESkinError(QStringLiteral("Cannot read the skin file %1: %2").arg(path_, reason));
}

std::optional<QByteArray> SkinArchive::read(const QString& name) {
    if (!IsSkinFileName(name)) return std::nullopt;
    const zip_int64_t index =
        zip_name_locate(archive_, name.toUtf8().constData(), ZIP_FL_ENC_UTF_8);
    if (index < 0) return std::nullopt;

    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &stat) != 0) {
        fail(QString::fromUtf8(zip_strerror(archive_)));
    }
    if ((stat.valid & ZIP_STAT_SIZE) == 0) fail(name + QStringLiteral(" has no recorded size"));
    spend(stat.size, name);
    const qint64 size = static_cast<qint64>(stat.size);

    std::unique_ptr<zip_file_t, EntryCloser> entry(
        zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0));
    if (!entry) fail(QString::fromUtf8(zip_strerror(archive_)));

    // One byte more than recorded: an entry that inflates past its recorded
    // size is refused instead of being cut or followed.
    QByteArray data(size + 1, Qt::Uninitialized);
    qint64 filled = 0;
    while (filled < data.size()) {
        const zip_int64_t got = zip_fread(entry.get(), data.data() + filled,
                                          static_cast<zip_uint64_t>(data.size() - filled));
        if (got < 0)
            fail(name + QStringLiteral(": ") + QString::fromUtf8(zip_file_strerror(entry.get())));
        if (got == 0) break;
        filled += got;
    }
    if (filled != size) fail(name + QStringLiteral(" does not match its recorded size"));
    data.truncate(size);
    return data;
}

}  // namespace quarrow
