#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace quarrow::test {

struct ToolRun {
    int exitCode = -1;
    QByteArray out;
    QString err;
};

// Runs the built quarrow-catalogue with `arguments` in `folder`, feeding
// `input` on its standard input.
ToolRun RunCatalogueTool(const QStringList& arguments, const QString& folder,
                         const QByteArray& input = {});

// The eight columns of a driver catalogue, in an order the program accepts,
// as a header line of tab-separated text.
QByteArray DriverHeaderLine();

// Files in `folder` whose names start with `prefix` (the output and any
// temporary file beside it).
QStringList FilesStartingWith(const QString& folder, const QString& prefix);

}  // namespace quarrow::test
