#include "ResultSet.h"

#include <algorithm>

namespace quarrow {

namespace {

QString fromUtf8(std::string_view bytes) {
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

}  // namespace

ResultSet::ResultSet(QStringList columns, RowReader reader, std::size_t valueBudget)
    : columns_(std::move(columns)), reader_(std::move(reader)), valueBudget_(valueBudget) {
    ends_.push_back(0);
}

bool ResultSet::appendRow(std::int64_t rowid, const std::vector<std::string_view>& values) {
    if (storedSlots_ != rowids_.size() || (reader_ && arena_.size() >= valueBudget_)) {
        appendRowId(rowid);
        return false;
    }
    for (int c = 0; c < columnCount(); ++c) {
        if (std::size_t(c) < values.size()) arena_.append(values[std::size_t(c)]);
        ends_.push_back(arena_.size());
    }
    order_.push_back(std::uint32_t(rowids_.size()));
    rowids_.push_back(rowid);
    ++storedSlots_;
    return true;
}

void ResultSet::appendRowId(std::int64_t rowid) {
    order_.push_back(std::uint32_t(rowids_.size()));
    rowids_.push_back(rowid);
}

std::int64_t ResultSet::rowid(int row) const { return rowids_[order_[std::size_t(row)]]; }

QString ResultSet::value(int row, int column) const {
    const std::uint32_t slot = order_[std::size_t(row)];
    if (slot < storedSlots_) {
        const std::size_t index =
            std::size_t(slot) * std::size_t(columnCount()) + std::size_t(column);
        return fromUtf8(
            std::string_view(arena_).substr(ends_[index], ends_[index + 1] - ends_[index]));
    }
    const auto written = written_.find(slot);
    if (written != written_.end()) {
        const auto& values = written->second;
        return std::size_t(column) < values.size()
                   ? QString::fromStdString(values[std::size_t(column)])
                   : QString();
    }
    std::size_t indexInBlock = 0;
    const Block& block = blockFor(slot, indexInBlock);
    const std::size_t index = indexInBlock * std::size_t(columnCount()) + std::size_t(column);
    if (index >= block.ends.size()) return {};
    const std::uint32_t begin = index == 0 ? 0 : block.ends[index - 1];
    return fromUtf8(std::string_view(block.arena).substr(begin, block.ends[index] - begin));
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
    const std::size_t last = std::min(first + kBlockRows, rowids_.size());
    std::vector<std::string> values;
    for (std::size_t slot = first; slot < last; ++slot) {
        values.clear();
        // A row that another program removed meanwhile reads as empty.
        if (reader_) reader_(rowids_[slot], values);
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
    const auto slot = std::uint32_t(rowids_.size());
    rowids_.push_back(rowid);
    written_[slot] = values;
    order_.insert(order_.begin() + at, slot);
}

void ResultSet::replaceRow(int row, std::int64_t rowid, const std::vector<std::string>& values) {
    const auto slot = std::uint32_t(rowids_.size());
    rowids_.push_back(rowid);
    written_[slot] = values;
    written_.erase(order_[std::size_t(row)]);
    order_[std::size_t(row)] = slot;
}

void ResultSet::removeRow(int row) {
    written_.erase(order_[std::size_t(row)]);
    order_.erase(order_.begin() + row);
}

}  // namespace quarrow
