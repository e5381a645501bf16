#include "TForm4.h"

#include "DeviceCatalogueConversion.h"
#include "db/Connection.h"
#include "db/Query.h"
#include "dialogs/Dialogs.h"
#include "forms/AccessibleWindow.h"
#include "forms/BusyCursor.h"
#include "forms/EventBoundary.h"
#include "forms/ShowModal.h"
#include "shell/Endpoints.h"
#include "shell/OpenInShell.h"
#include "stores/DeviceCatalogue.h"
#include "widgets/DataSource.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <limits>

using namespace quarrow;

TForm4* Form4 = nullptr;

namespace {

const QString kEnterQuery = QStringLiteral("Внимание ! Введите поисковый запрос !");

}  // namespace

TForm4::TForm4(QWidget* parent) : DeferredWindow(parent) {
    DeclareAccessibleWindow(this);
    setObjectName(QStringLiteral("Form4"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(785, 595);
    // Not centred: the window opens here first, and later where it was left.
    move(311, 125);
}

void TForm4::buildContents() {
    setupUi(this);
    Label1->setText(HomeHost());
    Edit1->setMaxLength(std::numeric_limits<int>::max());
    declareColours();
    declareDataComponents();
    declareGrid();
    connectHandlers();
    Edit1->setFocus();
}

void TForm4::declareColours() {
    const QColor skinnedLabelText(206, 214, 235);
    for (QLabel* label : {sLabel1, sLabel2, sLabel3}) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, skinnedLabelText);
        label->setPalette(palette);
    }

    QPalette address = Label1->palette();
    address.setColor(QPalette::WindowText, Qt::black);
    address.setColor(QPalette::Window, palette().color(QPalette::Base));
    Label1->setPalette(address);
    Label1->setAutoFillBackground(true);

    for (QFrame* panel : {sPanel1, sPanel2, sPanel3, sPanel4, sPanel5}) {
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Raised);
        panel->setAutoFillBackground(true);
    }
}

void TForm4::declareDataComponents() {
    ADOConnection1 = new Connection(DeviceCatalogueConnectionString(), this);
    ADOConnection1->setObjectName(QStringLiteral("ADOConnection1"));
    ADOConnection1->setSlowWorkHandler(ShowBusyCursor);
    connect(ADOConnection1, &Connection::noticed, this, &ShowPlainMessage);
    ADOQuery1 = new Query(ADOConnection1, QStringLiteral("ADOQuery1"), this);
    ADOQuery1->setSelect(QStringLiteral("device"));
    ADOQuery2 = new Query(ADOConnection1, QStringLiteral("ADOQuery2"), this);
    DataSource1 = new DataSource(ADOQuery1, QStringLiteral("DataSource1"), this);
}

void TForm4::declareGrid() {
    const QFont title(QStringLiteral("MS Sans Serif"), 8, QFont::Bold);
    DBGrid1->setDataSource(DataSource1);
    DBGrid1->setColumns({
        {QStringLiteral("Код"), QStringLiteral("ID"), -1, title, {}},
        {QStringLiteral("device"), QStringLiteral("УСТРОЙСТВО"), 613, title, {}},
    });
}

void TForm4::connectHandlers() {
    const auto on = [this](QPushButton* button, void (TForm4::*handler)()) {
        connect(button, &QPushButton::clicked, this,
                [this, handler] { guarded([&] { (this->*handler)(); }); });
    };
    on(Button2, &TForm4::Button2Click);
    on(sButton1, &TForm4::sButton1Click);
    on(Button3, &TForm4::Button3Click);
    Label1->installEventFilter(this);
}

bool TForm4::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Label1 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        guarded([this] { Label1Click(); });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TForm4::closeEvent(QCloseEvent* event) {
    // Without its contents the window has no grid yet (see DeferredWindow).
    bool written = ADOQuery1 == nullptr;
    if (!written) {
        guarded([this, &written] {
            DBGrid1->postPendingRow();
            written = true;
        });
    }
    if (!written) {
        event->ignore();
        return;
    }
    DeferredWindow::closeEvent(event);
}

void TForm4::Button2Click() {
    const QString text = Edit1->text();
    if (text.isEmpty()) {
        ShowMessageDialog(kEnterQuery, MsgDlgType::Information, MsgDlgBtn::OK);
        Edit1->setFocus();
        SilentAbort();
    }
    // The lookups go out before the catalogue is touched, so they happen
    // even when it cannot be opened.
    if (CheckBox1->isChecked()) OpenInShell(WithQueryText(DeviceLookupUrl(), text));
    if (CheckBox2->isChecked()) {
        OpenInShell(WithQueryText(VendorLookupUrl(), text));
    } else {
        DBGrid1->setFocus();
    }

    const BusyScope busy;
    ConvertJetDeviceCatalogue(this, *ADOConnection1);
    ADOConnection1->open();
    // A row still being changed in the grid is written, not lost, before its
    // result is replaced; a refused write ends the search here.
    DBGrid1->postPendingRow();
    showCount(RunDeviceSearch(*ADOConnection1, *ADOQuery1, *ADOQuery2, text));
}

void TForm4::showCount(qint64 found) {
    sLabel3->setText(QString::number(found));
    sLabel3->resize(sLabel3->sizeHint().width(), sLabel3->height());
}

void TForm4::sButton1Click() { OpenInShell(HardwareIdSiteUrl()); }

void TForm4::Label1Click() { OpenInShell(HomePageUrl()); }

void TForm4::Button3Click() { ShowOrUncover(deviceList_, this); }
