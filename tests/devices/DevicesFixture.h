#pragma once

#include <QAbstractItemModel>
#include <QString>
#include <QStringList>

namespace quarrow::test {

// Device rows are written and compared as "Код|device". A row written
// without "|" has no device value at all (null).
void WriteDevices(const QString& path, const QStringList& rows,
                  const QString& password = QStringLiteral("kavrel"));

// The rows of table `device` as the file holds them, by Код, read through a
// plain read-only connection of the engine: the share mode lets readers in.
QStringList StoredDevices(const QString& path);

// Runs statements on the file beside the program's own connection; returns
// the engine's message, empty on success.
QString ExecOnFile(const QString& path, const QString& sql);

// The rows a grid shows, "ID|УСТРОЙСТВО".
QStringList ShownRows(const QAbstractItemModel* model);

}  // namespace quarrow::test
