#pragma once

#include "SkinFiles.h"

namespace quarrow {

// A skin unpacked in a folder of its own beside Options.dat.
class SkinFolder : public SkinFiles {
public:
    explicit SkinFolder(QString folder) : folder_(std::move(folder)) {}

    std::optional<QByteArray> read(const QString& name) override;
    QString origin() const override { return folder_; }

private:
    QString folder_;
};

}  // namespace quarrow
