#pragma once

#include "LargeBuffer.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quarrow {

// A static result: the rows a statement returned, in its order, for as long
// as the result is open. Rows are kept as UTF-8 text in compact arenas. A
// large result keeps the first rows up to a memory budget and, for the rest,
// only the rows' ids; those rows are read back from the table by id when
// they are shown, and the rows read back are kept up to the same budget.
//
// A result that can read its rows back keeps no value longer than
// kHeadBytes whole, only its head, which is all that any cell shows. The
// whole value is read again, for one row at a time, when it is asked for,
// and taken only while it is still the value that was read first. So the
// memory a result holds does not grow with what its rows hold. Rows written
// through the result are kept as the file holds them.
class ResultSet {
public:
    // A row's values, valid only while they are handed over.
    using RowValues = std::vector<std::string_view>;
    using TakeRow = std::function<void(const RowValues& values)>;
    // Reads one row of the table by id and hands its values to `take`;
    // false when the table has no such row.
    using RowReader = std::function<bool(std::int64_t rowid, const TakeRow& take)>;

    // Bytes held for the first rows' values at most before further rows go
    // in by id, and for the rows read back.
    static constexpr std::size_t kDefaultValueBudget = 8u << 20;
    // The longest value kept whole; longer ones keep this many bytes, which
    // hold the two thousand characters that a cell shows at most.
    static constexpr std::size_t kHeadBytes = 8u << 10;

    explicit ResultSet(QStringList columns, RowReader reader = {},
                       std::size_t valueBudget = kDefaultValueBudget);
    ~ResultSet();
    ResultSet(const ResultSet&) = delete;
    ResultSet& operator=(const ResultSet&) = delete;

    const QStringList& columns() const { return columns_; }
    int columnCount() const { return int(columns_.size()); }
    int rowCount() const { return int(rows_.order.size()); }

    QString value(int row, int column) const;
    // The value's first `characters` characters and, when it is longer, one
    // more, converting only that much of it.
    QString valueHead(int row, int column, qsizetype characters) const;
    // The whole value as the file gave it, valid until another row is read.
    std::string_view utf8(int row, int column) const;
    std::int64_t rowid(int row) const;

    // Appends a row with its values while the result is being read; false
    // once the memory budget is spent, after which rows go in by id only.
    bool appendRow(std::int64_t rowid, const std::vector<std::string_view>& values);
    void appendRowId(std::int64_t rowid);

    void insertRow(int at, std::int64_t rowid, const std::vector<std::string>& values);
    void replaceRow(int row, std::int64_t rowid, const std::vector<std::string>& values);
    void removeRow(int row);

    // Bytes of row values and their bookkeeping held now, besides the ids
    // and the order of the rows.
    std::size_t heldValueBytes() const;

    // Rows read back at most at once, when one of them is asked for.
    static constexpr std::size_t kReadAheadRows = 256;

private:
    // What is known of a value kept by its head only.
    struct WholeValue {
        std::uint64_t bytes;
        std::size_t hash;
    };
    // One row's values as they are kept: whole, or their heads.
    struct KeptRow {
        std::string arena;
        std::vector<std::uint32_t> ends;              // end of each value
        std::vector<std::pair<int, WholeValue>> cut;  // columns kept by their head
        std::size_t bytes() const;
    };
    struct ReadBackRow {
        KeptRow values;
        std::list<std::uint32_t>::iterator recent;
    };

    // A value as it is kept, and whether it is its head only.
    std::string_view keptValue(std::uint32_t slot, int row, int column,
                               const WholeValue** whole) const;
    KeptRow keep(const RowValues& values) const;
    const KeptRow& readBack(std::uint32_t slot, int row) const;
    void dropReadBackBeyondBudget(std::uint32_t keep) const;
    // Drops what is kept of a slot that no row shows any more.
    void forget(std::uint32_t slot);
    // The whole value, read again; the head when the file no longer holds
    // the value that was read first.
    std::string_view wholeValue(std::uint32_t slot, int column, std::string_view head,
                                const WholeValue& whole) const;
    static WholeValue describe(std::string_view value);

    QStringList columns_;
    RowReader reader_;
    std::size_t valueBudget_;

    // Every row the statement returned has a slot; rows added or rewritten
    // later get new slots in `written_`. `order` maps visible rows to slots.
    template <typename T>
    using LargeVector = std::vector<T, LargeBufferAllocator<T>>;
    struct Storage {
        LargeVector<std::int64_t> rowids;
        LargeVector<char> arena;
        LargeVector<std::uint64_t> ends;  // end of each stored value in `arena`
        LargeVector<std::uint32_t> order;
    };
    static Storage& spare();
    static Storage takeSpareStorage();
    static void keepAsSpare(Storage&& storage);
    static constexpr std::size_t kBudgetSlack = 1u << 16;
    static constexpr std::size_t kSmallArena = 1u << 20;
    static constexpr std::size_t kMaxSpareBytes = 128u << 20;

    Storage rows_;
    std::size_t storedSlots_ = 0;  // slots [0, storedSlots_) hold their values
    // Values of stored slots kept by their head, by their index in `ends`.
    std::unordered_map<std::uint64_t, WholeValue> cutStored_;
    std::unordered_map<std::uint32_t, KeptRow> written_;

    mutable std::unordered_map<std::uint32_t, ReadBackRow> readBack_;
    mutable std::list<std::uint32_t> recentlyRead_;  // most recent first
    mutable std::size_t readBackBytes_ = 0;

    // The whole values of the last row a whole long value was asked of.
    struct WholeRow {
        std::uint32_t slot = UINT32_MAX;
        std::vector<std::string> values;
        bool found = false;
    };
    mutable WholeRow whole_;
};

}  // namespace quarrow
