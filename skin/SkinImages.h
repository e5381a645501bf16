#pragma once

#include <QHash>
#include <QSet>
#include <QString>

namespace quarrow {

class SkinFiles;

// The pictures of a skin being loaded, decoded once and written as PNG
// files that the style sheet can point at, whether the skin is packed or
// not. A file is named after its content, so loading the same skin again
// yields the same style sheet.
class SkinImages {
public:
    // The largest picture a skin may hold, in pixels each way.
    static constexpr int kMaxSide = 2048;

    // `folder` keeps the files; it must outlive the style sheet.
    explicit SkinImages(QString folder) : folder_(std::move(folder)) {}

    // Reads and decodes `name` from the skin. False when the skin has no such
    // file or it is not a picture of a sound size; a file that cannot be read
    // throws ESkinError.
    bool add(SkinFiles& files, const QString& name);

    const QHash<QString, QString>& paths() const { return paths_; }

private:
    QString folder_;
    QHash<QString, QString> paths_;
    QSet<QString> unusable_;
};

}  // namespace quarrow
