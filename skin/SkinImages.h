#pragma once

#include "MemoryResource.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <map>
#include <memory>

namespace quarrow {

class SkinFiles;

// The skins' pictures as PNG files in memory, by file name, for as long as a
// style sheet may point at them.
using SkinPictureFiles = std::map<QString, std::unique_ptr<MemoryResource>>;

// The pictures of a skin being loaded, decoded once and kept as PNG files in
// memory that the style sheet can point at, whether the skin is packed or
// not. A file is named after its content, so loading the same skin again
// yields the same style sheet.
class SkinImages {
public:
    // The largest picture a skin may hold, in pixels each way.
    static constexpr int kMaxSide = 2048;

    // `files` keeps the pictures; it must outlive the style sheet.
    explicit SkinImages(SkinPictureFiles& files) : files_(files) {}

    // Reads and decodes `name` from the skin. False when the skin has no such
    // file or it is not a picture of a sound size; a file that cannot be read
    // throws ESkinError.
    bool add(SkinFiles& files, const QString& name);

    // The resource path (":/...") of each picture added.
    const QHash<QString, QString>& paths() const { return paths_; }

private:
    SkinPictureFiles& files_;
    QHash<QString, QString> paths_;
    QSet<QString> unusable_;
};

}  // namespace quarrow
