#include "ResultSet.h"

namespace quarrow {

ResultSet::ResultSet(QStringList columns) : columns_(std::move(columns)) {}

std::string_view ResultSet::utf8(int row, int column) const {
    const std::size_t index =
        std::size_t(order_[std::size_t(row)]) * std::size_t(columnCount()) + std::size_t(column);
    const std::uint64_t begin = offsets_[index];
    return std::string_view(arena_.data() + begin, offsets_[index + 1] - begin);
}

QString ResultSet::value(int row, int column) const {
    const std::string_view bytes = utf8(row, column);
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

std::uint32_t ResultSet::store(std::int64_t rowid, const std::vector<std::string_view>& values) {
    for (int c = 0; c < columnCount(); ++c) {
        if (std::size_t(c) < values.size()) arena_.append(values[std::size_t(c)]);
        offsets_.push_back(arena_.size());
    }
    rowids_.push_back(rowid);
    return std::uint32_t(rowids_.size() - 1);
}

void ResultSet::appendRow(std::int64_t rowid, const std::vector<std::string_view>& values) {
    order_.push_back(store(rowid, values));
}

void ResultSet::insertRow(int at, std::int64_t rowid, const std::vector<std::string_view>& values) {
    order_.insert(order_.begin() + at, store(rowid, values));
}

void ResultSet::replaceRow(int row, std::int64_t rowid,
                           const std::vector<std::string_view>& values) {
    // The old copy stays in the arena; results live for one search only.
    order_[std::size_t(row)] = store(rowid, values);
}

void ResultSet::removeRow(int row) { order_.erase(order_.begin() + row); }

}  // namespace quarrow
