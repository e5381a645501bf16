#include "JetReader.h"

#include "InputError.h"
#include "JetValueText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QtEndian>
#include <cstdio>
#include <vector>

// libmdb 1.0.0's header includes GLib inside its extern "C" block, where
// GLib's C++ templates cannot be; included first, GLib's guard keeps it out
// there. The Windows build's libmdb has a stand-in of its own instead.
#if __has_include(<glib.h>)
#include <glib.h>
#endif
#include <mdbtools.h>

#if defined(Q_OS_WIN)
#include <windows.h>
#endif

namespace quarrow {

struct JetReader::Library {
    MdbHandle* mdb = nullptr;
    MdbTableDef* table = nullptr;
    qint64 pages = 0;
    // The user tables: their names and the catalogue entries libmdb reads
    // them by.
    QStringList names;
    std::vector<std::unique_ptr<MdbCatalogEntry>> entries;

    ~Library() {
        if (table != nullptr) mdb_free_tabledef(table);
        if (mdb != nullptr) mdb_close(mdb);
    }
};

namespace {

// The flags of a row's offset on its page, and of a long value's length.
constexpr int kRowOffsetMask = 0x1fff;
constexpr quint32 kLongValueInline = 0x80000000;
constexpr quint32 kLongValueOnOnePage = 0x40000000;
constexpr quint32 kLongValueFlags = 0xff000000;
constexpr quint32 kLongValueLength = 0x3fffffff;

QByteArray libraryPath(const QString& path) {
#if defined(Q_OS_WIN)
    // libmdb opens files with the C library's narrow calls, which take the
    // ANSI code page; a path beyond it goes by its short form, where the
    // volume keeps one.
    const QString native = QDir::toNativeSeparators(path);
    const bool ascii =
        std::all_of(native.cbegin(), native.cend(), [](QChar c) { return c.unicode() < 0x80; });
    if (!ascii) {
        std::vector<wchar_t> shortPath(32768);
        const DWORD length = GetShortPathNameW(reinterpret_cast<const wchar_t*>(native.utf16()),
                                               shortPath.data(), DWORD(shortPath.size()));
        if (length > 0 && length < shortPath.size()) {
            return QString::fromWCharArray(shortPath.data(), int(length)).toLocal8Bit();
        }
    }
    return native.toLocal8Bit();
#else
    return QFile::encodeName(path);
#endif
}

MdbColumn* columnAt(MdbTableDef* table, unsigned int index) {
    return static_cast<MdbColumn*>(g_ptr_array_index(table->columns, index));
}

// One row's values as libmdb finds them on the current data page.
class RowDecoder {
public:
    // Decodes the columns of `wanted` (all when it is empty); the others
    // read as absent.
    RowDecoder(MdbHandle* mdb, MdbTableDef* table, qint64 pages, std::vector<bool> wanted = {})
        : mdb_(mdb),
          table_(table),
          pages_(pages),
          fields_(table->num_cols),
          wanted_(wanted.empty() ? std::vector<bool>(table->num_cols, true) : std::move(wanted)) {}

    // The row that mdb_fetch_row() has just read, cracked again for what
    // the fetch does not keep: whether each value is absent or empty.
    bool decode(QStringList& row) {
        int start = 0;
        size_t size = 0;
        if (table_->cur_row == 0 ||
            mdb_find_row(mdb_, int(table_->cur_row) - 1, &start, &size) != 0) {
            return false;
        }
        if (mdb_crack_row(table_, start & kRowOffsetMask, size, fields_.data()) < 0) return false;
        row.resize(qsizetype(fields_.size()));
        for (std::size_t i = 0; i < fields_.size(); ++i) {
            row[qsizetype(i)] =
                wanted_[i] ? valueText(columnAt(table_, unsigned(i)), fields_[i]) : QString();
        }
        return true;
    }

    // What went wrong with the last value, for the message.
    const QString& fault() const { return fault_; }

private:
    // The text form of one value; a null QString for an absent one. The
    // forms are those of JetValueText.h, chosen by the column's type.
    QString valueText(const MdbColumn* column, const MdbField& field) {
        if (column->col_type == MDB_BOOL) return JetBooleanText(field.is_null == 0);
        if (field.is_null != 0) return QString();
        const int pageSize = int(mdb_->fmt->pg_size);
        if (field.start < 0 || field.siz < 0 || field.start + field.siz > pageSize) {
            return damaged(column, QStringLiteral("lies outside its page"));
        }
        const char* data = reinterpret_cast<const char*>(mdb_->pg_buf) + field.start;
        const QByteArrayView stored(data, field.siz);
        const auto fits = [&](int bytes) { return field.siz >= bytes; };
        switch (column->col_type) {
            case MDB_BYTE:
                if (fits(1)) return QString::number(quint8(data[0]));
                break;
            case MDB_INT:
                if (fits(2)) return QString::number(qFromLittleEndian<qint16>(data));
                break;
            case MDB_LONGINT:
            case MDB_COMPLEX:
                if (fits(4)) return QString::number(qFromLittleEndian<qint32>(data));
                break;
            case MDB_FLOAT:
                if (fits(4)) return JetFloatText(double(qFromLittleEndian<float>(data)), 7);
                break;
            case MDB_DOUBLE:
                if (fits(8)) return JetFloatText(qFromLittleEndian<double>(data), 15);
                break;
            case MDB_DATETIME:
                if (fits(8)) return JetDateText(qFromLittleEndian<double>(data));
                break;
            case MDB_MONEY:
                if (fits(8)) return JetCurrencyText(qFromLittleEndian<qint64>(data));
                break;
            case MDB_NUMERIC:
                if (fits(17)) return JetDecimalText(stored, column->col_scale);
                break;
            case MDB_REPID:
                if (fits(16)) return JetGuidText(stored);
                break;
            case MDB_TEXT:
                return text(stored);
            case MDB_BINARY:
                return JetBinaryText(stored);
            case MDB_MEMO:
            case MDB_OLE: {
                QByteArray value;
                if (!longValue(field, value)) {
                    return damaged(column, QStringLiteral("points to pages that do not hold it"));
                }
                return column->col_type == MDB_MEMO ? text(value) : JetBinaryText(value);
            }
            default:
                return damaged(
                    column,
                    QStringLiteral("has a type Quarrow does not read (%1)").arg(column->col_type));
        }
        return damaged(column, QStringLiteral("is shorter than its type"));
    }

    QString damaged(const MdbColumn* column, const QString& reason) {
        if (fault_.isEmpty()) {
            fault_ = QStringLiteral("the value of the column '%1' %2")
                         .arg(QString::fromUtf8(column->name), reason);
        }
        return QStringLiteral("");
    }

    QString text(QByteArrayView stored) const {
        if (stored.isEmpty()) return QStringLiteral("");
        if (!IS_JET3(mdb_)) return JetUnicodeText(stored);
        // Jet 3 keeps text in the database's code page, which libmdb turns
        // into UTF-8; one byte takes at most three there.
        std::vector<char> utf8(std::size_t(stored.size()) * 3 + 1);
        const int length = mdb_unicode2ascii(mdb_, stored.data(), std::size_t(stored.size()),
                                             utf8.data(), utf8.size());
        return QString::fromUtf8(utf8.data(), length);
    }

    // A Memo's or OLE Object's bytes: in the row itself, in one row of a
    // page of long values, or in a chain of such rows.
    bool longValue(const MdbField& field, QByteArray& value) const {
        if (field.siz < MDB_MEMO_OVERHEAD) return false;
        const quint32 header = quint32(mdb_get_int32(mdb_->pg_buf, field.start));
        const qint32 firstRow = qint32(mdb_get_int32(mdb_->pg_buf, field.start + 4));
        const quint32 length = header & kLongValueLength;
        if ((header & kLongValueInline) != 0) {
            value = QByteArray(
                reinterpret_cast<const char*>(mdb_->pg_buf) + field.start + MDB_MEMO_OVERHEAD,
                field.siz - MDB_MEMO_OVERHEAD);
            return true;
        }
        if ((header & kLongValueOnOnePage) != 0) {
            QByteArrayView part;
            if (!pageRow(firstRow, part)) return false;
            value = part.toByteArray();
            return true;
        }
        if ((header & kLongValueFlags) != 0) return false;
        // Each row of the chain starts with the page and row of the next.
        qint32 next = firstRow;
        for (qint64 pages = 0; next != 0; ++pages) {
            QByteArrayView part;
            if (pages > pages_ || !pageRow(next, part) || part.size() < 4) return false;
            if (quint64(value.size()) + quint64(part.size() - 4) > length) return false;
            value.append(part.sliced(4));
            next = qFromLittleEndian<qint32>(part.data());
        }
        return true;
    }

    bool pageRow(qint32 pageAndRow, QByteArrayView& part) const {
        void* page = nullptr;
        int offset = 0;
        size_t size = 0;
        if (mdb_find_pg_row(mdb_, pageAndRow, &page, &offset, &size) != 0) return false;
        if (offset < 0 || qint64(offset) + qint64(size) > qint64(mdb_->fmt->pg_size)) return false;
        part = QByteArrayView(static_cast<const char*>(page) + offset, qsizetype(size));
        return true;
    }

    MdbHandle* mdb_;
    MdbTableDef* table_;
    qint64 pages_;
    std::vector<MdbField> fields_;
    std::vector<bool> wanted_;
    QString fault_;
};

// The system table that lists every object of the database, on page 2.
constexpr unsigned long kObjectsPage = 2;
constexpr int kObjectTypeMask = 0x7f;
// Objects with one of these flags are the engine's own tables.
constexpr qint64 kSystemObjectFlags = 0x80000002;

qsizetype columnNamed(const QStringList& columns, const QString& name) {
    for (qsizetype c = 0; c < columns.size(); ++c) {
        if (columns[c].compare(name, Qt::CaseInsensitive) == 0) return c;
    }
    return -1;
}

}  // namespace

JetReader::JetReader(const QString& path) : path_(path), library_(std::make_unique<Library>()) {
    if (!QFileInfo(path).isFile()) fail(QStringLiteral("there is no such file"));
    library_->mdb = mdb_open(libraryPath(path).constData(), MDB_NOFLAGS);
    if (library_->mdb == nullptr) fail(QStringLiteral("libmdb cannot open it as a Jet database"));
    library_->pages = QFileInfo(path).size() / qint64(library_->mdb->fmt->pg_size) + 1;
    readUserTables();
}

void JetReader::readUserTables() {
    // libmdb's own catalogue reader also parses every object's properties,
    // which nothing here needs and where a damaged file can keep it busy
    // for good; the list of objects is read as a table instead.
    MdbCatalogEntry objects{};
    objects.mdb = library_->mdb;
    objects.object_type = MDB_TABLE;
    objects.table_pg = kObjectsPage;
    std::snprintf(objects.object_name, sizeof objects.object_name, "%s", "MSysObjects");
    MdbTableDef* table = mdb_read_table(&objects);
    const auto freeTable = qScopeGuard([&table] {
        if (table != nullptr) mdb_free_tabledef(table);
    });
    if (table == nullptr || mdb_read_columns(table) == nullptr ||
        table->columns->len != table->num_cols) {
        fail(QStringLiteral("its list of tables cannot be read"));
    }
    QStringList columns;
    for (unsigned int i = 0; i < table->num_cols; ++i) {
        columns.append(QString::fromUtf8(columnAt(table, i)->name));
    }
    const qsizetype id = columnNamed(columns, QStringLiteral("Id"));
    const qsizetype name = columnNamed(columns, QStringLiteral("Name"));
    const qsizetype type = columnNamed(columns, QStringLiteral("Type"));
    const qsizetype flags = columnNamed(columns, QStringLiteral("Flags"));
    if (id < 0 || name < 0 || type < 0 || flags < 0) {
        fail(QStringLiteral("its list of tables lacks the columns it is read by"));
    }
    std::vector<bool> wanted(table->num_cols, false);
    for (qsizetype c : {id, name, type, flags}) wanted[std::size_t(c)] = true;
    RowDecoder decoder(library_->mdb, table, library_->pages, std::move(wanted));
    QStringList row;
    mdb_rewind_table(table);
    while (mdb_fetch_row(table) != 0) {
        if (!decoder.decode(row) || !decoder.fault().isEmpty()) {
            fail(QStringLiteral("its list of tables cannot be read"));
        }
        if ((row[type].toInt() & kObjectTypeMask) != MDB_TABLE ||
            (row[flags].toLongLong() & kSystemObjectFlags) != 0 || row[name].isEmpty()) {
            continue;
        }
        auto entry = std::make_unique<MdbCatalogEntry>();
        entry->mdb = library_->mdb;
        entry->object_type = MDB_TABLE;
        entry->table_pg = static_cast<unsigned long>(row[id].toLongLong() & 0x00ffffff);
        std::snprintf(entry->object_name, sizeof entry->object_name, "%s",
                      row[name].toUtf8().constData());
        library_->names.append(row[name]);
        library_->entries.push_back(std::move(entry));
    }
}

JetReader::~JetReader() = default;

void JetReader::fail(const QString& reason) const {
    throw InputError(QStringLiteral("%1: %2").arg(path_, reason));
}

QStringList JetReader::tableNames() const { return library_->names; }

QString JetReader::findTable(const QString& name) const {
    for (const QString& table : library_->names) {
        if (table.compare(name, Qt::CaseInsensitive) == 0) return table;
    }
    return QString();
}

void JetReader::openTable(const QString& name) {
    if (library_->table != nullptr) {
        mdb_free_tabledef(library_->table);
        library_->table = nullptr;
    }
    columns_.clear();
    const qsizetype index = library_->names.indexOf(name);
    if (index < 0) fail(QStringLiteral("it holds no table '%1'").arg(name));
    library_->table = mdb_read_table(library_->entries[std::size_t(index)].get());
    if (library_->table == nullptr || mdb_read_columns(library_->table) == nullptr ||
        library_->table->columns->len != library_->table->num_cols) {
        fail(QStringLiteral("the definition of the table '%1' cannot be read").arg(name));
    }
    for (unsigned int i = 0; i < library_->table->num_cols; ++i) {
        columns_.append(QString::fromUtf8(columnAt(library_->table, i)->name));
    }
}

qint64 JetReader::declaredRowCount() const {
    return library_->table != nullptr ? qint64(library_->table->num_rows) : 0;
}

qint64 JetReader::readRows(const RowSink& insert) {
    MdbTableDef* table = library_->table;
    if (table == nullptr) return 0;
    RowDecoder decoder(library_->mdb, table, library_->pages);
    QStringList row;
    qint64 rows = 0;
    mdb_rewind_table(table);
    while (mdb_fetch_row(table) != 0) {
        ++rows;
        if (!decoder.decode(row)) {
            fail(QStringLiteral("row %1 of the table '%2' cannot be read")
                     .arg(rows)
                     .arg(QString::fromUtf8(table->name)));
        }
        if (!decoder.fault().isEmpty()) {
            fail(QStringLiteral("row %1 of the table '%2': %3")
                     .arg(rows)
                     .arg(QString::fromUtf8(table->name), decoder.fault()));
        }
        insert(row);
    }
    return rows;
}

}  // namespace quarrow
