#pragma once

#include <QLineEdit>

namespace quarrow {

class DataSource;

// A one-line box that always shows one field of its data source's current
// row, or empty text while the result is closed or empty.
class DBEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit DBEdit(QWidget* parent = nullptr);
    void bind(DataSource* source, const QString& field);

private:
    void refresh();

    DataSource* source_ = nullptr;
    QString field_;
};

}  // namespace quarrow
