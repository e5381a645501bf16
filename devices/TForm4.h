#pragma once

#include "forms/DeferredWindow.h"
#include "ui_TForm4.h"

namespace quarrow {
class Connection;
class Query;
class DataSource;
}  // namespace quarrow

// The unknown-device window: searches the device catalogue for the codes a
// device reports, hands them to the outside PCI ID lookup service when asked
// to, and lets the user correct the catalogue in its grid. Its controls and
// data components are made when it is first shown (see DeferredWindow).
class TForm4 : public quarrow::DeferredWindow, public Ui::TForm4 {
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);

    quarrow::Connection* ADOConnection1 = nullptr;
    quarrow::Query* ADOQuery1 = nullptr;
    quarrow::Query* ADOQuery2 = nullptr;
    quarrow::DataSource* DataSource1 = nullptr;

    void Button2Click();
    void sButton1Click();
    void Label1Click();
    void Button3Click();

    // The list of this computer's devices, which "ЭТОТ ПК" shows; start-up
    // creates it after this window and hands it in.
    void setDeviceListWindow(QWidget* window) { deviceList_ = window; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // A row changed in the grid is written before the window goes, as
    // moving to another row would write it; a refused write is shown and
    // keeps the window open with what was typed.
    void closeEvent(QCloseEvent* event) override;
    void buildContents() override;

private:
    void declareColours();
    void declareDataComponents();
    void declareGrid();
    void connectHandlers();
    void showCount(qint64 found);

    QWidget* deviceList_ = nullptr;
};

extern TForm4* Form4;
