#include "DriverCatalogueFiles.h"

#include "InputError.h"
#include "TsvReader.h"
#include "db/Connection.h"
#include "db/EngineLimits.h"
#include "db/Sqlite.h"

#include <QIODevice>
#include <QSet>

namespace quarrow {

namespace {

QString quotedValue(QString value) {
    value.replace(u'"', QStringLiteral("\"\""));
    return u'"' + value + u'"';
}

void writeOut(QIODevice& out, const QByteArray& bytes) {
    if (out.write(bytes) != bytes.size()) {
        throw Exception(QStringLiteral("cannot write the rows: %1").arg(out.errorString()));
    }
}

// Tab-separated text has no way to carry these inside a value.
bool holdsSeparator(std::string_view value) {
    return value.find_first_of("\t\n\r") != std::string_view::npos;
}

// The catalogue's table: table_1 for drivers, device for devices; empty
// when the file holds neither.
QString catalogueTable(sqlite3* db) {
    Statement tables(db,
                     "SELECT name FROM sqlite_master WHERE type = 'table' AND name IN "
                     "('table_1', 'device') ORDER BY name = 'device'");
    return tables.step() ? tables.text(0) : QString();
}

}  // namespace

QStringList RequiredDriverColumns() {
    return {QStringLiteral("Устройство"), QStringLiteral("Наименование"), QStringLiteral("os"),
            QStringLiteral("Размер"),     QStringLiteral("Версия"),       QStringLiteral("url"),
            QStringLiteral("URLdr"),      QStringLiteral("ver")};
}

QStringList PositionedDriverColumns() {
    return {QStringLiteral("Устройство"), QStringLiteral("os"), QStringLiteral("Размер"),
            QStringLiteral("Версия")};
}

void CheckDriverColumns(const QStringList& columns) {
    if (columns.size() > kMaxColumns) {
        throw InputError(QStringLiteral("the header names %1 columns; the program reads tables of "
                                        "at most %2 columns")
                             .arg(columns.size())
                             .arg(kMaxColumns));
    }
    // The program's statements over the table name every column once, with
    // some 60 bytes of their own around each name, and must stay within its
    // limit for one statement; so must the table's definition.
    constexpr qsizetype kMaxNameBytes = kMaxStatementBytes / 4;
    qsizetype nameBytes = 0;
    for (const QString& column : columns) nameBytes += column.toUtf8().size();
    if (nameBytes > kMaxNameBytes) {
        throw InputError(QStringLiteral("the column names take %1 bytes together; the program "
                                        "reads tables whose names take at most %2 bytes")
                             .arg(nameBytes)
                             .arg(kMaxNameBytes));
    }
    QSet<QString> seen;
    for (const QString& column : columns) {
        const QString key = column.toLower();
        if (seen.contains(key)) {
            throw InputError(QStringLiteral("the column '%1' is named twice").arg(column));
        }
        // The engine reads a statement only up to its first NUL, so a name
        // holding one would cut the statement that creates the table.
        if (column.contains(QChar(u'\0'))) {
            throw InputError(QStringLiteral("the column name '%1' holds a NUL character")
                                 .arg(QString(column).replace(QChar(u'\0'), u' ')));
        }
        // A column named as the row id would hide it, and the program reads
        // and writes rows by their row ids.
        if (key == u"rowid" || key == u"oid" || key == u"_rowid_" || key == u"rank" ||
            key == u"table_1") {
            throw InputError(
                QStringLiteral("the column name '%1' is reserved by the database engine")
                    .arg(column));
        }
        seen.insert(key);
    }
    for (const QString& required : RequiredDriverColumns()) {
        if (!columns.contains(required)) {
            throw InputError(QStringLiteral("the header lacks the column '%1'").arg(required));
        }
    }
    const QStringList positioned = PositionedDriverColumns();
    for (qsizetype i = 0; i < positioned.size(); ++i) {
        const qsizetype position = i + 1;
        if (columns.value(position) != positioned[i]) {
            throw InputError(QStringLiteral("column %1 (counting from 0) must be '%2', not '%3'; "
                                            "positions 1 to 4 hold %4 in this order")
                                 .arg(position)
                                 .arg(positioned[i], columns.value(position),
                                      positioned.join(QStringLiteral(", "))));
        }
    }
}

qint64 BuildDriverCatalogue(QIODevice& tsv, const QString& path, const QString& password,
                            DriverTableLayout layout, const RowProgress& progress,
                            const OutputOptions& output) {
    QStringList columns;
    const RowSink* insert = nullptr;
    qint64 rows = 0;
    TsvReader reader(
        [&columns](const QStringList& header) {
            CheckDriverColumns(header);
            columns = header;
        },
        [&insert, &rows](const QStringList& fields) {
            (*insert)(fields);
            ++rows;
        });
    // The header decides the table's columns, so it is read before the file
    // is created; the rows then stream into it.
    TsvLines lines(tsv);
    QByteArray line;
    if (!lines.next(line)) reader.finish();
    reader.feed(line);
    WriteDriverCatalogue(
        path, password, columns,
        [&](const RowSink& sink) {
            insert = &sink;
            while (lines.next(line)) reader.feed(line);
        },
        layout, progress, output);
    return rows;
}

QString CatalogueConnectionString(const QString& path, const QString& password) {
    return QStringLiteral(
               "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Mode=Read;"
               "Jet OLEDB:Database Password=%2")
        .arg(quotedValue(path), quotedValue(password));
}

qint64 ExportCatalogue(const QString& path, const QString& password, QIODevice& out) {
    Connection connection(CatalogueConnectionString(path, password));
    std::unique_ptr<Statement> select;
    try {
        connection.open();
        const QString table = catalogueTable(connection.handle());
        if (table.isEmpty()) {
            throw InputError(
                QStringLiteral("it holds neither a driver table (table_1) nor a "
                               "device table (device)"));
        }
        select = std::make_unique<Statement>(connection.handle(),
                                             QStringLiteral("SELECT * FROM ") + table);
    } catch (const Exception& error) {
        throw InputError(QStringLiteral("%1: %2").arg(path, error.message()));
    }

    QStringList header;
    for (int c = 0; c < select->columnCount(); ++c) header.append(select->columnName(c));
    writeOut(out, header.join(u'\t').toUtf8() + '\n');

    qint64 rows = 0;
    QByteArray line;
    while (select->step()) {
        ++rows;
        line.clear();
        for (int c = 0; c < select->columnCount(); ++c) {
            const std::string_view value = select->utf8(c);
            if (holdsSeparator(value)) {
                throw InputError(QStringLiteral("%1: row %2, column '%3': the value holds a tab or "
                                                "a line break, which tab-separated text cannot "
                                                "carry")
                                     .arg(path)
                                     .arg(rows)
                                     .arg(header[c]));
            }
            if (c > 0) line.append('\t');
            line.append(value.data(), qsizetype(value.size()));
        }
        line.append('\n');
        writeOut(out, line);
    }
    return rows;
}

}  // namespace quarrow
