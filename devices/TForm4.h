#pragma once

#include "ui_TForm4.h"

#include <QWidget>

namespace quarrow {
class Connection;
class Query;
class DataSource;
}  // namespace quarrow

// The unknown-device window: searches the device catalogue for the codes a
// device reports, hands them to the outside PCI ID lookup service when asked
// to, and lets the user correct the catalogue in its grid.
class TForm4 : public QWidget, public Ui::TForm4 {
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);

    quarrow::Connection* ADOConnection1;
    quarrow::Query* ADOQuery1;
    quarrow::Query* ADOQuery2;
    quarrow::DataSource* DataSource1;

    void Button2Click();
    void sButton1Click();
    void Label1Click();
    void Button3Click();

    // The list of this computer's devices, which "ЭТОТ ПК" shows; start-up
    // creates it after this window and hands it in.
    void setDeviceListWindow(QWidget* window) { deviceList_ = window; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void declareColours();
    void declareDataComponents();
    void declareGrid();
    void connectHandlers();
    void showCount(qint64 found);

    QWidget* deviceList_ = nullptr;
};

extern TForm4* Form4;
