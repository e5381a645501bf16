#pragma once

#include "ui_TForm2.h"

#include <QWidget>

namespace quarrow {
class Connection;
class Query;
class DataSource;
}  // namespace quarrow

// The About window: the program's credits and the driver catalogue's
// version, read afresh from the catalogue every time the window is shown.
class TForm2 : public QWidget, public Ui::TForm2 {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);

    quarrow::Connection* ADOConnection1;
    quarrow::Query* ADOQuery1;
    quarrow::DataSource* DataSource1;

    void FormShow();
    void Label1Click();
    void sButton1Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void declareLook();
    void declareDataComponents();

    bool closingFromOk_ = false;
};

extern TForm2* Form2;
