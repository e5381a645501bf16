#pragma once

#include <QByteArray>
#include <QString>

namespace quarrow {

// One file that Qt reads from memory under a resource path (":/..."), for as
// long as the object lives. Style sheets, pictures and settings take such a
// path like any other file name, and as nothing is written to disk nothing is
// left behind, however the process ends.
class MemoryResource {
public:
    // The file ":<folder>/<name>": `folder` starts with "/", `name` is a plain
    // file name. Content up to 1 GiB.
    MemoryResource(const QString& folder, const QString& name, const QByteArray& content);
    ~MemoryResource();
    MemoryResource(const MemoryResource&) = delete;
    MemoryResource& operator=(const MemoryResource&) = delete;

    // False when Qt refused the resource; the path then leads nowhere.
    bool isValid() const { return registered_; }
    const QString& path() const { return path_; }

private:
    QString folder_;
    QString path_;
    // Qt reads the file in place from this buffer while it is registered.
    QByteArray rcc_;
    bool registered_ = false;
};

}  // namespace quarrow
