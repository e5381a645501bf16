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
// they are shown, a block at a time, and only a bounded number of blocks is
// kept. Rows written through the result are kept as the file holds them.
class ResultSet {
public:
    // Reads one row of the table by id; false when the table has no such row.
    using RowReader = std::function<bool(std::int64_t rowid, std::vector<std::string>& values)>;

    // Bytes held for row values at most before further rows go in by id.
    static constexpr std::size_t kDefaultValueBudget = 8u << 20;

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
    // The value as the file gave it, valid until another row is read.
    std::string_view utf8(int row, int column) const;
    std::int64_t rowid(int row) const;

    // Appends a row with its values while the result is being read; false
    // once the memory budget is spent, after which rows go in by id only.
    bool appendRow(std::int64_t rowid, const std::vector<std::string_view>& values);
    void appendRowId(std::int64_t rowid);

    void insertRow(int at, std::int64_t rowid, const std::vector<std::string>& values);
    void replaceRow(int row, std::int64_t rowid, const std::vector<std::string>& values);
    void removeRow(int row);

    static constexpr std::size_t kBlockRows = 256;
    static constexpr std::size_t kCachedBlocks = 64;

private:
    struct Block {
        std::string arena;
        std::vector<std::uint32_t> ends;  // end of each value, row by row
    };

    const Block& blockFor(std::uint32_t slot, std::size_t& indexInBlock) const;
    const Block& loadBlock(std::size_t block) const;

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
    std::unordered_map<std::uint32_t, std::vector<std::string>> written_;

    mutable std::unordered_map<std::size_t, Block> blocks_;
    mutable std::list<std::size_t> recentBlocks_;
};

}  // namespace quarrow
