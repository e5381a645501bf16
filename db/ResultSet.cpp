#include "ResultSet.h"

#include <algorithm>
#include <mutex>
#include <utility>

namespace quarrow {

namespace {

QString fromUtf8(std::string_view bytes) {
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

}  // namespace

ResultSet::ResultSet(QStringList columns, RowReader reader, std::size_t valueBudget)
    : columns_(std::move(columns)),
      reader_(std::move(reader)),
      valueBudget_(valueBudget),
      rows_(takeSpareStorage()) {
    rows_.ends.push_back(0);
}

ResultSet::~ResultSet() { keepAsSpare(std::move(rows_)); }

// One search after another builds results of similar size. Handing a closed
// result's buffers to the next one reuses pages that are already resident;
// fresh pages each cost a fault, a large part of the time of a search that
// finds many rows.
namespace {
std::mutex spareMutex;
}  // namespace

ResultSet::Storage& ResultSet::spare() {
    // Never destroyed, so a result closed during exit still finds it.
    static auto* storage = new Storage;
    return *storage;
}

ResultSet::Storage ResultSet::takeSpareStorage() {
    const std::lock_guard<std::mutex> lock(spareMutex);
    return std::exchange(spare(), Storage());
}

void ResultSet::keepAsSpare(Storage&& storage) {
    const std::size_t bytes = storage.arena.capacity() +
                              storage.ends.capacity() * sizeof(std::uint64_t) +
                              storage.rowids.capacity() * sizeof(std::int64_t) +
                              storage.order.capacity() * sizeof(std::uint32_t);
    if (bytes > kMaxSpareBytes) return;
    storage.arena.clear();
    storage.ends.clear();
    storage.rowids.clear();
    storage.order.clear();
    const std::lock_guard<std::mutex> lock(spareMutex);
    if (storage.arena.capacity() >= spare().arena.capacity()) spare() = std::move(storage);
}

bool ResultSet::appendRow(std::int64_t rowid, const std::vector<std::string_view>& values) {
    if (storedSlots_ != rows_.rowids.size() || (reader_ && rows_.arena.size() >= valueBudget_)) {
        appendRowId(rowid);
        return false;
    }
    // Once a result grows large, its whole budget is reserved: that maps
    // address space only, pages are touched as the values arrive, and the
    // arena never again grows by copying. Small results stay in small
    // blocks of ordinary memory.
    if (reader_ && rows_.arena.size() >= kSmallArena &&
        rows_.arena.capacity() < valueBudget_ + kBudgetSlack) {
        rows_.arena.reserve(valueBudget_ + kBudgetSlack);
    }
    for (int c = 0; c < columnCount(); ++c) {
        if (std::size_t(c) < values.size()) {
            const std::string_view value = values[std::size_t(c)];
            rows_.arena.insert(rows_.arena.end(), value.begin(), value.end());
        }
        rows_.ends.push_back(rows_.arena.size());
    }
    rows_.order.push_back(std::uint32_t(rows_.rowids.size()));
    rows_.rowids.push_back(rowid);
    ++storedSlots_;
    return true;
}

void ResultSet::appendRowId(std::int64_t rowid) {
    rows_.order.push_back(std::uint32_t(rows_.rowids.size()));
    rows_.rowids.push_back(rowid);
}

std::int64_t ResultSet::rowid(int row) const { return rows_.rowids[rows_.order[std::size_t(row)]]; }

QString ResultSet::value(int row, int column) const { return fromUtf8(utf8(row, column)); }

QString ResultSet::valueHead(int row, int column, qsizetype characters) const {
    // A character takes at most four bytes; a sequence cut short at the end
    // falls beyond the characters asked for.
    const std::size_t bytes = std::size_t(characters + 2) * 4;
    const QString head = fromUtf8(utf8(row, column).substr(0, bytes));
    return head.size() > characters + 1 ? head.left(characters + 1) : head;
}

std::string_view ResultSet::utf8(int row, int column) const {
    const std::uint32_t slot = rows_.order[std::size_t(row)];
    if (slot < storedSlots_) {
        const std::size_t index =
            std::size_t(slot) * std::size_t(columnCount()) + std::size_t(column);
        return std::string_view(rows_.arena.data() + rows_.ends[index],
                                rows_.ends[index + 1] - rows_.ends[index]);
    }
    const auto written = written_.find(slot);
    if (written != written_.end()) {
        const auto& values = written->second;
        return std::size_t(column) < values.size() ? std::string_view(values[std::size_t(column)])
                                                   : std::string_view();
    }
    std::size_t indexInBlock = 0;
    const Block& block = blockFor(slot, indexInBlock);
    const std::size_t index = indexInBlock * std::size_t(columnCount()) + std::size_t(column);
    if (index >= block.ends.size()) return {};
    const std::uint32_t begin = index == 0 ? 0 : block.ends[index - 1];
    return std::string_view(block.arena).substr(begin, block.ends[index] - begin);
}

const ResultSet::Block& ResultSet::blockFor(std::uint32_t slot, std::size_t& indexInBlock) const {
    const std::size_t lazySlot = slot - storedSlots_;
    indexInBlock = lazySlot % kBlockRows;
    return loadBlock(lazySlot / kBlockRows);
}

const ResultSet::Block& ResultSet::loadBlock(std::size_t number) const {
    const auto found = blocks_.find(number);
    if (found != blocks_.end()) {
        recentBlocks_.remove(number);
        recentBlocks_.push_front(number);
        return found->second;
    }
    Block block;
    const std::size_t first = storedSlots_ + number * kBlockRows;
    const std::size_t last = std::min(first + kBlockRows, rows_.rowids.size());
    std::vector<std::string> values;
    for (std::size_t slot = first; slot < last; ++slot) {
        values.clear();
        // A row that another program removed meanwhile reads as empty.
        if (reader_) reader_(rows_.rowids[slot], values);
        for (int c = 0; c < columnCount(); ++c) {
            if (std::size_t(c) < values.size()) block.arena.append(values[std::size_t(c)]);
            block.ends.push_back(std::uint32_t(block.arena.size()));
        }
    }
    if (blocks_.size() >= kCachedBlocks) {
        blocks_.erase(recentBlocks_.back());
        recentBlocks_.pop_back();
    }
    recentBlocks_.push_front(number);
    return blocks_.emplace(number, std::move(block)).first->second;
}

void ResultSet::insertRow(int at, std::int64_t rowid, const std::vector<std::string>& values) {
    const auto slot = std::uint32_t(rows_.rowids.size());
    rows_.rowids.push_back(rowid);
    written_[slot] = values;
    rows_.order.insert(rows_.order.begin() + at, slot);
}

void ResultSet::replaceRow(int row, std::int64_t rowid, const std::vector<std::string>& values) {
    const auto slot = std::uint32_t(rows_.rowids.size());
    rows_.rowids.push_back(rowid);
    written_[slot] = values;
    written_.erase(rows_.order[std::size_t(row)]);
    rows_.order[std::size_t(row)] = slot;
}

void ResultSet::removeRow(int row) {
    written_.erase(rows_.order[std::size_t(row)]);
    rows_.order.erase(rows_.order.begin() + row);
}

}  // namespace quarrow
