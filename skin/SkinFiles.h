#pragma once

#include "core/Exception.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

namespace quarrow {

// An error while a skin is read: a file that cannot be opened or read, a
// packed file that is not a sound zip archive, a skin larger than allowed.
class ESkinError : public Exception {
public:
    explicit ESkinError(QString message) : Exception(std::move(message), "ESkinError") {}
};

// No skin may make the program read more than this, packed or not: a file
// that would inflate past it is refused before it is read.
constexpr qint64 kMaxSkinBytes = 16 * 1024 * 1024;

// A plain file name inside a skin: no folders, no way out of the skin.
bool IsSkinFileName(const QString& name);

// The files of one skin, from its folder or from its packed file.
class SkinFiles {
public:
    virtual ~SkinFiles() = default;

    // The whole file, or nothing when the skin has no such file. Throws
    // ESkinError when it exists but cannot be read, or when reading it would
    // take the skin past kMaxSkinBytes.
    virtual std::optional<QByteArray> read(const QString& name) = 0;
    // The packed file or the folder, for messages.
    virtual QString origin() const = 0;

    // Looks the skin `name` up in `folder`: the packed file <name>.asz first,
    // then <name>/Options.dat. Null when neither exists, when `folder` is not
    // an absolute path (the current folder is never searched) or when `name`
    // is not a plain file name.
    static std::unique_ptr<SkinFiles> locate(const QString& folder, const QString& name);

protected:
    // Counts `bytes` of the file `name` against the skin's budget; throws
    // when they do not fit.
    void spend(quint64 bytes, const QString& name);

private:
    qint64 spent_ = 0;
};

}  // namespace quarrow
