#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

namespace quarrow::test {

// The files of a skin: name and content, at the skin's root.
using SkinFileList = QList<QPair<QString, QByteArray>>;

// The skin shipped with the program, as it lies in the source tree.
QString ShineSourceFolder();
SkinFileList ShineFiles();
QByteArray ShineFile(const QString& name);

// Shine with its Options.dat replaced.
SkinFileList ShineWithOptions(const QByteArray& options);

// Shine's Options.dat with the entry `line` set in the group `group` (added
// at the end when the group is not there) or, when `line` is empty, without
// that group.
QByteArray ShineOptionsWith(const QString& group, const QString& line);

// Writes the files as the skin folder <folder>/Shine.
void WriteSkinFolder(const QString& folder, const SkinFileList& files);
// Writes the files as a zip archive (deflated) at `path`.
void WriteSkinArchive(const QString& path, const SkinFileList& files);
void WriteFile(const QString& path, const QByteArray& content);

}  // namespace quarrow::test
