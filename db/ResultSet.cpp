#include "ResultSet.h"

#include <QHashFunctions>
#include <algorithm>
#include <mutex>
#include <utility>

namespace quarrow {

namespace {

QString fromUtf8(std::string_view bytes) {
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

// How many bytes the first `characters` characters and one more take at
// most: a character takes four bytes at most, and a sequence cut short at
// the end falls beyond the characters asked for.
std::size_t headBytesFor(qsizetype characters) { return std::size_t(characters + 2) * 4; }

// What a kept row costs beyond its values: its node, its place in the list
// of rows read back and the allocations' own headers.
constexpr std::size_t kRowOverhead = 128;

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

ResultSet::WholeValue ResultSet::describe(std::string_view value) {
    // Any fixed seed but 0: Qt hashes with AES instructions only with a seed.
    constexpr std::size_t kSeed = 0x51756172u;
    return {value.size(), qHashBits(value.data(), value.size(), kSeed)};
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
    // Only a result that can read its rows again can leave values out.
    const bool keepHeads = bool(reader_);
    for (int c = 0; c < columnCount(); ++c) {
        if (std::size_t(c) < values.size()) {
            std::string_view value = values[std::size_t(c)];
            if (keepHeads && value.size() > kHeadBytes) {
                cutStored_.emplace(rows_.ends.size() - 1, describe(value));
                value = value.substr(0, kHeadBytes);
            }
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
    const std::uint32_t slot = rows_.order[std::size_t(row)];
    const std::size_t bytes = headBytesFor(characters);
    const WholeValue* whole = nullptr;
    std::string_view value = keptValue(slot, row, column, &whole);
    if (whole != nullptr && value.size() < bytes) value = wholeValue(slot, column, value, *whole);
    const QString head = fromUtf8(value.substr(0, bytes));
    return head.size() > characters + 1 ? head.left(characters + 1) : head;
}

std::string_view ResultSet::utf8(int row, int column) const {
    const std::uint32_t slot = rows_.order[std::size_t(row)];
    const WholeValue* whole = nullptr;
    const std::string_view value = keptValue(slot, row, column, &whole);
    return whole != nullptr ? wholeValue(slot, column, value, *whole) : value;
}

std::string_view ResultSet::keptValue(std::uint32_t slot, int row, int column,
                                      const WholeValue** whole) const {
    *whole = nullptr;
    if (slot < storedSlots_) {
        const std::size_t index =
            std::size_t(slot) * std::size_t(columnCount()) + std::size_t(column);
        if (!cutStored_.empty()) {
            const auto cut = cutStored_.find(index);
            if (cut != cutStored_.end()) *whole = &cut->second;
        }
        return std::string_view(rows_.arena.data() + rows_.ends[index],
                                rows_.ends[index + 1] - rows_.ends[index]);
    }
    const auto written = written_.find(slot);
    const KeptRow& kept = written != written_.end() ? written->second : readBack(slot, row);
    if (std::size_t(column) >= kept.ends.size()) return {};
    for (const auto& [cutColumn, wholeValue] : kept.cut) {
        if (cutColumn == column) *whole = &wholeValue;
    }
    const std::uint32_t begin = column == 0 ? 0 : kept.ends[std::size_t(column) - 1];
    return std::string_view(kept.arena).substr(begin, kept.ends[std::size_t(column)] - begin);
}

std::string_view ResultSet::wholeValue(std::uint32_t slot, int column, std::string_view head,
                                       const WholeValue& whole) const {
    if (whole_.slot != slot) {
        whole_.slot = slot;
        whole_.values.clear();
        whole_.found = reader_ && reader_(rows_.rowids[slot], [this](const RowValues& values) {
                           whole_.values.assign(values.begin(), values.end());
                       });
    }
    if (!whole_.found || std::size_t(column) >= whole_.values.size()) return head;
    const std::string& value = whole_.values[std::size_t(column)];
    const WholeValue now = describe(value);
    // Changed or replaced since it was read: the value shown is the head.
    if (now.bytes != whole.bytes || now.hash != whole.hash) return head;
    return value;
}

std::size_t ResultSet::KeptRow::bytes() const {
    return kRowOverhead + arena.capacity() + ends.capacity() * sizeof(std::uint32_t) +
           cut.capacity() * sizeof(std::pair<int, WholeValue>);
}

ResultSet::KeptRow ResultSet::keep(const RowValues& values) const {
    KeptRow kept;
    std::size_t bytes = 0;
    for (const std::string_view value : values) bytes += std::min(value.size(), kHeadBytes);
    kept.arena.reserve(bytes);
    kept.ends.reserve(std::size_t(columnCount()));
    for (int c = 0; c < columnCount(); ++c) {
        if (std::size_t(c) < values.size()) {
            std::string_view value = values[std::size_t(c)];
            if (reader_ && value.size() > kHeadBytes) {
                kept.cut.emplace_back(c, describe(value));
                value = value.substr(0, kHeadBytes);
            }
            kept.arena.append(value);
        }
        kept.ends.push_back(std::uint32_t(kept.arena.size()));
    }
    return kept;
}

const ResultSet::KeptRow& ResultSet::readBack(std::uint32_t slot, int row) const {
    const auto found = readBack_.find(slot);
    if (found != readBack_.end()) {
        recentlyRead_.splice(recentlyRead_.begin(), recentlyRead_, found->second.recent);
        return found->second.values;
    }
    // The rows after it are likely to be shown next: they are read now,
    // until one is kept already or enough bytes are read.
    const std::size_t enough = std::min<std::size_t>(valueBudget_ / 4, 1u << 20);
    std::size_t read = 0;
    for (std::size_t r = std::size_t(row), rows = 0;
         r < rows_.order.size() && rows < kReadAheadRows && (rows == 0 || read < enough);
         ++r, ++rows) {
        const std::uint32_t next = rows_.order[r];
        if (next < storedSlots_ || written_.count(next) != 0) continue;
        if (rows > 0 && readBack_.count(next) != 0) break;
        KeptRow kept;
        // A row that another program removed meanwhile reads as empty.
        if (reader_) {
            reader_(rows_.rowids[next], [&](const RowValues& values) { kept = keep(values); });
        }
        read += kept.bytes();
        readBackBytes_ += kept.bytes();
        recentlyRead_.push_front(next);
        readBack_.emplace(next, ReadBackRow{std::move(kept), recentlyRead_.begin()});
    }
    // The asked row first, so that making room keeps it.
    const auto asked = readBack_.find(slot);
    recentlyRead_.splice(recentlyRead_.begin(), recentlyRead_, asked->second.recent);
    dropReadBackBeyondBudget(slot);
    return asked->second.values;
}

void ResultSet::dropReadBackBeyondBudget(std::uint32_t keep) const {
    while (readBackBytes_ > valueBudget_ && recentlyRead_.size() > 1 &&
           recentlyRead_.back() != keep) {
        const auto oldest = readBack_.find(recentlyRead_.back());
        readBackBytes_ -= oldest->second.values.bytes();
        readBack_.erase(oldest);
        recentlyRead_.pop_back();
    }
}

std::size_t ResultSet::heldValueBytes() const {
    std::size_t bytes = rows_.arena.size() + rows_.ends.size() * sizeof(std::uint64_t) +
                        cutStored_.size() * (sizeof(WholeValue) + kRowOverhead / 2) +
                        readBackBytes_;
    for (const auto& [slot, kept] : written_) bytes += kept.bytes();
    for (const std::string& value : whole_.values) bytes += value.capacity();
    return bytes;
}

void ResultSet::insertRow(int at, std::int64_t rowid, const std::vector<std::string>& values) {
    const auto slot = std::uint32_t(rows_.rowids.size());
    rows_.rowids.push_back(rowid);
    written_[slot] = keep(RowValues(values.begin(), values.end()));
    rows_.order.insert(rows_.order.begin() + at, slot);
}

void ResultSet::replaceRow(int row, std::int64_t rowid, const std::vector<std::string>& values) {
    const auto slot = std::uint32_t(rows_.rowids.size());
    rows_.rowids.push_back(rowid);
    written_[slot] = keep(RowValues(values.begin(), values.end()));
    forget(rows_.order[std::size_t(row)]);
    rows_.order[std::size_t(row)] = slot;
}

void ResultSet::removeRow(int row) {
    forget(rows_.order[std::size_t(row)]);
    rows_.order.erase(rows_.order.begin() + row);
}

void ResultSet::forget(std::uint32_t slot) {
    written_.erase(slot);
    const auto read = readBack_.find(slot);
    if (read != readBack_.end()) {
        readBackBytes_ -= read->second.values.bytes();
        recentlyRead_.erase(read->second.recent);
        readBack_.erase(read);
    }
    if (whole_.slot == slot) whole_ = WholeRow();
}

}  // namespace quarrow
