#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QTemporaryDir>

namespace quarrow {

class SkinFiles;

// The pictures of a loaded skin, decoded once and written as PNG files that
// the style sheet can point at, whether the skin is packed or not. They live
// as long as the skin stays loaded.
class SkinImages {
public:
    // The largest picture a skin may hold, in pixels each way.
    static constexpr int kMaxSide = 2048;

    // Reads and decodes `name` from the skin. False when the skin has no such
    // file or it is not a picture of a sound size; a file that cannot be read
    // throws ESkinError.
    bool add(SkinFiles& files, const QString& name);

    const QHash<QString, QString>& paths() const { return paths_; }

private:
    QTemporaryDir dir_;
    QHash<QString, QString> paths_;
    QSet<QString> unusable_;
};

}  // namespace quarrow
