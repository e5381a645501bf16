#pragma once

#include "ui_TForm1.h"

#include <QWidget>

namespace quarrow {
class Connection;
class Query;
class DataSource;
class TsSkinManager;
class TsSkinProvider;
}  // namespace quarrow

// The main window: searches the driver catalogue and hands the chosen
// driver's download address to the desktop.
class TForm1 : public QWidget, public Ui::TForm1 {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);

    quarrow::Connection* ADOConnection1;
    quarrow::Query* ADOQuery1;
    quarrow::Query* ADOQuery2;
    quarrow::DataSource* DataSource1;
    quarrow::TsSkinManager* sSkinManager1;
    quarrow::TsSkinProvider* sSkinProvider1;

    void FormCreate();
    void Button2Click();
    void Edit1KeyPress(QChar& key);
    void DBGrid1KeyPress(QChar& key);
    void Button1Click();
    void Button9Click();
    void DBGrid1CellClick();
    void DBGrid1DblClick();
    void Button5Click();
    void sButton1Click();
    void sButton2Click();
    void Label1Click();
    void Button6Click();
    void Button3Click();
    void Button7Click();
    void Button8Click();

    // The windows that the main window's buttons show modally. Start-up
    // creates them after this one and hands them in.
    struct ShownWindows {
        QWidget* about = nullptr;
        QWidget* vendors = nullptr;
        QWidget* devices = nullptr;
        QWidget* deviceList = nullptr;
    };
    void setShownWindows(const ShownWindows& windows) { shownWindows_ = windows; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A Jet catalogue in the place of vek.mdb is converted before the
    // connection opens it; the messages line says what was done.
    void convertJetCatalogue();
    void declareDataComponents();
    void declareGrid();
    void declareColours();
    void connectHandlers();
    QString notFoundQuestion(bool fromDoubleClick) const;
    void offerCatalogueSearch(const QString& question);

    ShownWindows shownWindows_;
};

extern TForm1* Form1;
