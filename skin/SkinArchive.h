#pragma once

#include "SkinFiles.h"

struct zip;

namespace quarrow {

// A packed skin: a zip archive with Options.dat and the images at its root.
class SkinArchive : public SkinFiles {
public:
    // Opens the archive and checks its directory; throws ESkinError when it
    // cannot be opened or is not a consistent zip archive.
    explicit SkinArchive(QString path);
    ~SkinArchive() override;
    SkinArchive(const SkinArchive&) = delete;
    SkinArchive& operator=(const SkinArchive&) = delete;

    std::optional<QByteArray> read(const QString& name) override;
    QString origin() const override { return path_; }

private:
    [[noreturn]] void fail(const QString& reason) const;

    QString path_;
    zip* archive_ = nullptr;
};

}  // namespace quarrow
