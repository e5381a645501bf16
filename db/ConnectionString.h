#pragma once

#include <QMap>
#include <QString>

namespace quarrow {

enum class ShareMode { DenyNone, DenyWrite, DenyRead, Exclusive, ReadOnly, ReadWrite };

// The settings Quarrow takes from a connection string. Keys compare without
// regard to case; every key the string holds is kept.
struct ConnectionSettings {
    QString provider;
    QString dataSource;
    QString password;
    ShareMode mode = ShareMode::ReadWrite;
    QMap<QString, QString> values;  // lower-case key -> value
};

// Parses "Key=Value;Key=Value" with values optionally in single or double
// quotes (a doubled quote inside stands for one). Throws EOleException for a
// string that does not have that form or names an unknown mode.
ConnectionSettings ParseConnectionString(const QString& text);

// The provider name that selects Quarrow's embedded engine.
QString EngineProviderName();

}  // namespace quarrow
