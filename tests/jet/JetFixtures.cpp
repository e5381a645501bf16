#include "JetFixtures.h"

#include "db/DatabasePassword.h"
#include "db/Sqlite.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTest>

namespace quarrow::test {

namespace {

QString unescaped(const QString& field) {
    if (field == u"\\N") return QString();
    QString value = QStringLiteral("");
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] != u'\\' || i + 1 == field.size()) {
            value += field[i];
            continue;
        }
        const QChar next = field[++i];
        value += next == u't'   ? QChar(u'\t')
                 : next == u'n' ? QChar(u'\n')
                 : next == u'r' ? QChar(u'\r')
                                : next;
    }
    return value;
}

}  // namespace

QString JetFixture(const QString& name) {
    return QStringLiteral(QUARROW_JET_FIXTURES) + u'/' + name;
}

QByteArray JetFixtureBytes(const QString& name) {
    QFile file(JetFixture(name));
    if (!file.open(QIODevice::ReadOnly)) qFatal("Fixture %s is missing", qPrintable(name));
    return file.readAll();
}

CatalogueTable JetFixtureTable(const QString& tsvName) {
    const QStringList lines =
        QString::fromUtf8(JetFixtureBytes(tsvName)).split(u'\n', Qt::SkipEmptyParts);
    CatalogueTable table;
    table.columns = lines.value(0).split(u'\t');
    for (qsizetype l = 1; l < lines.size(); ++l) {
        QStringList row;
        for (const QString& field : lines[l].split(u'\t')) row.append(unescaped(field));
        table.rows.append(row);
    }
    return table;
}

void CopyJetFixture(const QString& fixture, const QString& folder, const QString& name) {
    const QString target = QDir(folder).filePath(name);
    QFile::remove(target);
    QFile file(target);
    if (!file.open(QIODevice::WriteOnly) || file.write(JetFixtureBytes(fixture)) < 0) {
        qFatal("Cannot copy %s", qPrintable(fixture));
    }
}

namespace {

// A catalogue opened read-only for a check, closed when done.
class ReadOnlyCatalogue {
public:
    explicit ReadOnlyCatalogue(const QString& path) {
        if (sqlite3_open_v2(path.toUtf8().constData(), &db_, SQLITE_OPEN_READONLY, nullptr) !=
            SQLITE_OK) {
            qFatal("Cannot open %s", qPrintable(path));
        }
    }
    ~ReadOnlyCatalogue() { sqlite3_close(db_); }
    sqlite3* get() const { return db_; }

private:
    sqlite3* db_ = nullptr;
};

}  // namespace

CatalogueTable ReadCatalogueTable(const QString& path, const QString& table) {
    const ReadOnlyCatalogue db(path);
    Statement select(db.get(), QStringLiteral("SELECT * FROM ") + QuoteIdentifier(table));
    CatalogueTable read;
    for (int c = 0; c < select.columnCount(); ++c) read.columns.append(select.columnName(c));
    while (select.step()) {
        QStringList row;
        for (int c = 0; c < select.columnCount(); ++c) {
            const bool absent = sqlite3_column_type(select.handle(), c) == SQLITE_NULL;
            const QString text = select.text(c);
            row.append(absent ? QString() : text.isNull() ? QStringLiteral("") : text);
        }
        read.rows.append(row);
    }
    return read;
}

QString TableDifference(const CatalogueTable& expected, const CatalogueTable& actual) {
    const auto shown = [](const QString& value) {
        return value.isNull() ? QStringLiteral("(absent)") : u'"' + value + u'"';
    };
    if (expected.columns != actual.columns) {
        return QStringLiteral("columns %1, expected %2")
            .arg(actual.columns.join(u','), expected.columns.join(u','));
    }
    if (expected.rows.size() != actual.rows.size()) {
        return QStringLiteral("%1 rows, expected %2")
            .arg(actual.rows.size())
            .arg(expected.rows.size());
    }
    for (qsizetype r = 0; r < expected.rows.size(); ++r) {
        const QStringList& want = expected.rows[r];
        const QStringList& got = actual.rows[r];
        if (want.size() != got.size())
            return QStringLiteral("row %1 has %2 values").arg(r + 1).arg(got.size());
        for (qsizetype c = 0; c < want.size(); ++c) {
            if (want[c] != got[c] || want[c].isNull() != got[c].isNull()) {
                return QStringLiteral("row %1, column %2: %3, expected %4")
                    .arg(r + 1)
                    .arg(expected.columns.value(c), shown(got[c]), shown(want[c]));
            }
        }
    }
    return QString();
}

bool CatalogueTakesPassword(const QString& path, const QString& password) {
    const ReadOnlyCatalogue db(path);
    return DatabasePasswordMatches(db.get(), password);
}

QMap<QString, QByteArray> FolderContents(const QString& folder) {
    QMap<QString, QByteArray> contents;
    const QDir root(folder);
    QDirIterator files(
        folder, QDir::Files | QDir::Hidden | QDir::System | QDir::Dirs | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        QFile file(path);
        const QString name = root.relativeFilePath(path);
        if (QFileInfo(path).isDir()) {
            contents.insert(name + u'/', QByteArray());
        } else if (file.open(QIODevice::ReadOnly)) {
            contents.insert(name, file.readAll());
        }
    }
    return contents;
}

QString BuiltCatalogueTool() { return QStringLiteral(QUARROW_CATALOGUE_TOOL); }

QString StandInConverter() { return QStringLiteral(QUARROW_STAND_IN_CONVERTER); }

}  // namespace quarrow::test
