#include "TForm2.h"

#include "AboutText.h"
#include "db/Connection.h"
#include "db/Query.h"
#include "dialogs/Dialogs.h"
#include "forms/AccessibleWindow.h"
#include "forms/BusyCursor.h"
#include "forms/ConversionProgressDialog.h"
#include "forms/EventBoundary.h"
#include "shell/Endpoints.h"
#include "shell/OpenInShell.h"
#include "stores/DriverCatalogue.h"
#include "stores/JetCatalogueConversion.h"
#include "widgets/DataSource.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QTextBlock>
#include <QTextCursor>

using namespace quarrow;

TForm2* Form2 = nullptr;

namespace {
const QPoint kDeclaredPosition(474, 243);
}

TForm2::TForm2(QWidget* parent) : DeferredWindow(parent) {
    DeclareAccessibleWindow(this);
    setObjectName(QStringLiteral("Form2"));
    // A title bar without any button: only OK closes the window.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(500, 382);
    move(kDeclaredPosition);
}

void TForm2::buildContents() {
    setupUi(this);
    Label1->setText(HomeHost().toUpper());
    declareLook();
    declareDataComponents();
    connect(sButton1, &QPushButton::clicked, this,
            [this] { guarded([this] { sButton1Click(); }); });
    Label1->installEventFilter(this);
}

void TForm2::declareLook() {
    QPalette label = Label1->palette();
    label.setColor(QPalette::WindowText, Qt::black);
    label.setColor(QPalette::Window, palette().color(QPalette::Base));
    Label1->setPalette(label);
    Label1->setAutoFillBackground(true);

    sPanel2->setFrameShape(QFrame::Panel);
    sPanel2->setFrameShadow(QFrame::Raised);
    sPanel2->setAutoFillBackground(true);

    QPalette memoColours = memo->palette();
    memoColours.setColor(QPalette::Base, QColor(197, 207, 235));
    memoColours.setColor(QPalette::Text, Qt::black);
    memo->setPalette(memoColours);
    QTextOption centred = memo->document()->defaultTextOption();
    centred.setAlignment(Qt::AlignHCenter);
    memo->document()->setDefaultTextOption(centred);

    // The version box sits on the memo's first line and must look like part
    // of the group box, not like a box of its own.
    QPalette version = DBEdit1->palette();
    version.setColor(QPalette::Base, GroupBox3->palette().color(QPalette::Window));
    DBEdit1->setPalette(version);
    DBEdit1->setAutoFillBackground(true);
    DBEdit1->raise();
}

void TForm2::declareDataComponents() {
    ADOConnection1 = new Connection(AboutCatalogueConnectionString(), this);
    ADOConnection1->setObjectName(QStringLiteral("ADOConnection1"));
    ADOConnection1->setMode(ShareMode::DenyNone);
    ADOConnection1->setSlowWorkHandler(ShowBusyCursor);
    connect(ADOConnection1, &Connection::noticed, this, &ShowPlainMessage);
    ADOQuery1 = new Query(ADOConnection1, QStringLiteral("ADOQuery1"), this);
    // The window shows the first row's version; reading on would only cost.
    ADOQuery1->setMaxRows(1);
    DataSource1 = new DataSource(ADOQuery1, QStringLiteral("DataSource1"), this);
    DBEdit1->bind(DataSource1, QStringLiteral("ver"));
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Label1 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        guarded([this] { Label1Click(); });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TForm2::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous()) return;
    move(kDeclaredPosition);
    sButton1->setFocus();
    // An error here is shown in the error box and the window opens anyway.
    guarded([this] { FormShow(); });
}

void TForm2::closeEvent(QCloseEvent* event) {
    if (closingFromOk_) {
        QWidget::closeEvent(event);
    } else {
        event->ignore();
    }
}

void TForm2::FormShow() {
    memo->setPlainText(AboutTextLines().join(u'\n'));
    const BusyScope busy;
    convertJetCatalogue();
    ADOConnection1->open();
    ADOQuery1->clearSql();
    ADOQuery1->addSql(QStringLiteral("SELECT * FROM table_1 "));
    ADOQuery1->open();
}

void TForm2::convertJetCatalogue() {
    ConversionProgressDialog progress(this);
    const QString done = ConvertJetCatalogueBeforeOpening(
        ADOConnection1->connectionString(), ConvertedCatalogue::Drivers, progress.reporter());
    if (!done.isEmpty()) ShowPlainMessage(done);
}

void TForm2::Label1Click() { OpenInShell(HomePageUrl()); }

void TForm2::sButton1Click() {
    closingFromOk_ = true;
    close();
    closingFromOk_ = false;
}
