#pragma once

#include "forms/DeferredWindow.h"
#include "ui_TForm2.h"

namespace quarrow {
class Connection;
class Query;
class DataSource;
}  // namespace quarrow

// The About window: the program's credits and the driver catalogue's
// version, read afresh from the catalogue every time the window is shown.
// Its controls and data components are made when it is first shown (see
// DeferredWindow).
class TForm2 : public quarrow::DeferredWindow, public Ui::TForm2 {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);

    quarrow::Connection* ADOConnection1 = nullptr;
    quarrow::Query* ADOQuery1 = nullptr;
    quarrow::DataSource* DataSource1 = nullptr;

    void FormShow();
    void Label1Click();
    void sButton1Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void buildContents() override;

private:
    // A Jet catalogue in the place of vek.mdb is converted before the
    // connection opens it; a plain message says what was done.
    void convertJetCatalogue();
    void declareLook();
    void declareDataComponents();

    bool closingFromOk_ = false;
};

extern TForm2* Form2;
