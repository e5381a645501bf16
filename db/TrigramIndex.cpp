#include "TrigramIndex.h"

#include "Sqlite.h"

namespace quarrow {

namespace {

void exec(sqlite3* db, const QString& sql) { Exec(db, sql.toUtf8().constData()); }

QString phrase(const QString& trigram) {
    QString q = trigram;
    q.replace(u'"', QStringLiteral("\"\""));
    return u'"' + q + u'"';
}

}  // namespace

QStringList TrigramIndexSchema(const QString& table, const QString& column,
                               const QString& triggersOn) {
    const QString index = QuoteIdentifier(TrigramIndexName(table));
    const QString t = QuoteIdentifier(triggersOn.isEmpty() ? table : triggersOn);
    const QString c = QuoteIdentifier(column);
    const auto trigger = [&table](const char16_t* event) {
        return QuoteIdentifier(TrigramIndexName(table) + QStringLiteral("_") +
                               QString::fromUtf16(event));
    };
    return {
        QStringLiteral("CREATE VIRTUAL TABLE %1 USING fts5(%2, content=%3, "
                       "tokenize='trigram', detail='none')")
            .arg(index, c,
                 QStringLiteral("'%1'").arg(QString(table).replace(u'\'', QStringLiteral("''")))),
        QStringLiteral("CREATE TRIGGER %1 AFTER INSERT ON %2 BEGIN "
                       "INSERT INTO %3(rowid, %4) VALUES (new.rowid, new.%4); END")
            .arg(trigger(u"insert"), t, index, c),
        QStringLiteral("CREATE TRIGGER %1 AFTER DELETE ON %2 BEGIN "
                       "INSERT INTO %3(%3, rowid, %4) VALUES ('delete', old.rowid, old.%4); END")
            .arg(trigger(u"delete"), t, index, c),
        QStringLiteral("CREATE TRIGGER %1 AFTER UPDATE ON %2 BEGIN "
                       "INSERT INTO %3(%3, rowid, %4) VALUES ('delete', old.rowid, old.%4); "
                       "INSERT INTO %3(rowid, %4) VALUES (new.rowid, new.%4); END")
            .arg(trigger(u"update"), t, index, c),
    };
}

QString TrigramIndexName(const QString& table) { return table + QStringLiteral("_trigram"); }

QStringList TrigramIndexedColumns(sqlite3* db, const QString& table) {
    Statement schema(
        db, "SELECT sql FROM sqlite_schema WHERE type = 'table' AND name = ? COLLATE NOCASE");
    schema.bindText(1, TrigramIndexName(table));
    if (!schema.step() || !schema.text(0).contains(QStringLiteral("fts5"), Qt::CaseInsensitive)) {
        return {};
    }
    Statement info(
        db, QStringLiteral("PRAGMA table_info(%1)").arg(QuoteIdentifier(TrigramIndexName(table))));
    QStringList columns;
    while (info.step()) columns.append(info.text(1));
    return columns;
}

void CreateTrigramIndex(sqlite3* db, const QString& table, const QString& column) {
    for (const QString& statement : TrigramIndexSchema(table, column)) exec(db, statement);
    exec(db, QStringLiteral("INSERT INTO %1(%1) VALUES ('rebuild')")
                 .arg(QuoteIdentifier(TrigramIndexName(table))));
}

QString TrigramQueryFor(const QString& likePattern) {
    // A few trigrams narrow the candidates as well as all of them would; a
    // pasted megabyte of text must not become a megabyte-sized index query.
    constexpr qsizetype kMostTrigrams = 16;
    QStringList trigrams;
    QList<uint> run;
    const QList<uint> characters = likePattern.toUcs4();
    for (qsizetype i = 0; i <= characters.size(); ++i) {
        // The index reads text only up to a NUL, so a NUL ends a run too.
        const uint c = i < characters.size() ? characters[i] : 0;
        if (c == u'%' || c == u'_' || c == 0) {
            for (qsizetype k = 0; k + 3 <= run.size() && trigrams.size() < kMostTrigrams; ++k) {
                const QString trigram =
                    QString::fromUcs4(reinterpret_cast<const char32_t*>(run.constData() + k), 3);
                if (!trigrams.contains(phrase(trigram))) trigrams.append(phrase(trigram));
            }
            run.clear();
            continue;
        }
        run.append(c);
    }
    return trigrams.join(u' ');
}

IndexCondition TrigramCondition(const QString& table, const QString& indexedColumn,
                                const QString& column, const QString& likePattern) {
    if (indexedColumn.isEmpty() || indexedColumn.compare(column, Qt::CaseInsensitive) != 0) {
        return {};
    }
    const QString query = TrigramQueryFor(likePattern);
    if (query.isEmpty()) return {};
    const QString index = QuoteIdentifier(TrigramIndexName(table));
    return {QStringLiteral("rowid IN (SELECT rowid FROM %1 WHERE %1 MATCH ?)").arg(index), query};
}

qint64 TrigramIndexRows(sqlite3* db, const QString& table) {
    // The index keeps its totals in the record with id 1 of its data table:
    // first the number of rows, as a varint of the engine's kind; the record
    // is empty while the index holds no row.
    Statement totals(db,
                     QStringLiteral("SELECT substr(block, 1, 9) FROM %1 WHERE id = 1")
                         .arg(QuoteIdentifier(TrigramIndexName(table) + QStringLiteral("_data"))));
    if (!totals.step()) return -1;
    const QByteArray bytes = totals.blob(0);
    if (bytes.isEmpty()) return 0;
    quint64 rows = 0;
    for (qsizetype k = 0; k < bytes.size(); ++k) {
        const auto byte = quint8(bytes[k]);
        if (k == 8) return qint64((rows << 8) | byte);
        rows = (rows << 7) | (byte & 0x7f);
        if ((byte & 0x80) == 0) return qint64(rows);
    }
    return -1;
}

}  // namespace quarrow
