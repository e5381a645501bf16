#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quarrow {

// A static copy of a statement's rows: every value as UTF-8 text in one
// arena, so that large results stay compact. Rows keep the engine's rowid
// when it is known, for writing back.
class ResultSet {
public:
    explicit ResultSet(QStringList columns = {});

    const QStringList& columns() const { return columns_; }
    int columnCount() const { return int(columns_.size()); }
    int rowCount() const { return int(order_.size()); }

    std::string_view utf8(int row, int column) const;
    QString value(int row, int column) const;
    std::int64_t rowid(int row) const { return rowids_[order_[std::size_t(row)]]; }

    // Values are given per column; an absent value is stored as empty text.
    void appendRow(std::int64_t rowid, const std::vector<std::string_view>& values);
    void insertRow(int at, std::int64_t rowid, const std::vector<std::string_view>& values);
    void replaceRow(int row, std::int64_t rowid, const std::vector<std::string_view>& values);
    void removeRow(int row);

private:
    std::uint32_t store(std::int64_t rowid, const std::vector<std::string_view>& values);

    QStringList columns_;
    std::string arena_;
    std::vector<std::uint64_t> offsets_{0};  // value i spans offsets_[i] .. offsets_[i + 1]
    std::vector<std::int64_t> rowids_;       // per stored row
    std::vector<std::uint32_t> order_;       // visible row -> stored row
};

}  // namespace quarrow
