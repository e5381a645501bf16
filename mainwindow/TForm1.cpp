#include "TForm1.h"

#include "db/Connection.h"
#include "db/Query.h"
#include "dialogs/Dialogs.h"
#include "forms/AccessibleWindow.h"
#include "forms/BusyCursor.h"
#include "forms/ConversionProgressDialog.h"
#include "forms/EventBoundary.h"
#include "forms/ShowModal.h"
#include "shell/Endpoints.h"
#include "shell/OpenInShell.h"
#include "shell/WebAddress.h"
#include "skin/Artwork.h"
#include "skin/SkinManager.h"
#include "stores/DriverCatalogue.h"
#include "stores/JetCatalogueConversion.h"
#include "widgets/DataSource.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <limits>

using namespace quarrow;

TForm1* Form1 = nullptr;

namespace {

const QString kChooseDriver = QStringLiteral("Выберите в таблице драйвер ,а за тем качать !!!");
const QString kEnterQuery = QStringLiteral("Внимание ! Введите поисковый запрос !");
const QString kNothingFound =
    QStringLiteral("Драйвер не найден измените поисковый запрос, либо сообщите в службу поддержки");
const QString kNotFoundCaption = QStringLiteral("ДРАЙВЕР НЕ НАЙДЕН !");
constexpr int kQuestionFlags = MB_OKCANCEL | MB_ICONQUESTION;

const QString CR = QStringLiteral("\r");
const QString CRLF = QStringLiteral("\r\n");
const QString Quote = QStringLiteral("\"");

QFont titleFont(int pointSize) {
    QFont font(QStringLiteral("MS Sans Serif"), pointSize, QFont::Bold);
    font.setFixedPitch(true);
    return font;
}

}  // namespace

TForm1::TForm1(QWidget* parent) : QWidget(parent) {
    DeclareAccessibleWindow(this);
    setupUi(this);
    Image1->setPixmap(MakerLogo());
    QApplication::setWindowIcon(ProgramIcon());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(889, 554);
    setWindowOpacity(1.0);
    Label1->setText(HomeHost().toLower());
    Edit1->setMaxLength(std::numeric_limits<int>::max());
    declareColours();
    declareDataComponents();
    declareGrid();
    connectHandlers();
    DBGrid1->setFocus();

    // The catalogue connection is declared open: it opens while the window is
    // created, and a failure is reported without stopping the creation.
    guarded([this] {
        convertJetCatalogue();
        ADOConnection1->open();
    });
    guarded([this] { FormCreate(); });
}

void TForm1::declareColours() {
    QPalette label = Label1->palette();
    label.setColor(QPalette::WindowText, Qt::black);
    label.setColor(QPalette::Window, palette().color(QPalette::Base));
    Label1->setPalette(label);
    Label1->setAutoFillBackground(true);

    QPalette messages = sEdit1->palette();
    messages.setColor(QPalette::Text, palette().color(QPalette::Link));
    sEdit1->setPalette(messages);

    QPalette fast = Button9->palette();
    fast.setColor(QPalette::ButtonText, QColor(0, 255, 0));
    Button9->setPalette(fast);

    for (QFrame* panel : {sPanel1, sPanel2, sPanel3, sPanel4, sPanel5, sPanel6, sPanel7}) {
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Raised);
        panel->setAutoFillBackground(true);
    }
}

void TForm1::declareDataComponents() {
    ADOConnection1 = new Connection(MainCatalogueConnectionString(), this);
    ADOConnection1->setObjectName(QStringLiteral("ADOConnection1"));
    ADOConnection1->setMode(ShareMode::DenyNone);
    ADOConnection1->setSlowWorkHandler(ShowBusyCursor);
    connect(ADOConnection1, &Connection::noticed, sEdit1, &QLineEdit::setText);
    ADOQuery1 = new Query(ADOConnection1, QStringLiteral("ADOQuery1"), this);
    ADOQuery1->setSelect(QStringLiteral("table_1"));
    ADOQuery2 = new Query(ADOConnection1, QStringLiteral("ADOQuery2"), this);
    DataSource1 = new DataSource(ADOQuery1, QStringLiteral("DataSource1"), this);
    sSkinManager1 = new TsSkinManager(this);
    sSkinProvider1 = new TsSkinProvider(this);

    DBEdit1->bind(DataSource1, QStringLiteral("url"));
    DBEdit2->bind(DataSource1, QStringLiteral("Наименование"));
    DBEdit3->bind(DataSource1, QStringLiteral("URLdr"));
}

void TForm1::declareGrid() {
    QFont gridFont(QStringLiteral("MS Sans Serif"), 10);
    DBGrid1->setFont(gridFont);
    DBGrid1->setDataSource(DataSource1);
    DBGrid1->setColumns({
        {QStringLiteral("Устройство"), QStringLiteral("Устройство"), 101, titleFont(9), {}},
        {QStringLiteral("Наименование"), QStringLiteral("Наименование"), 174, titleFont(9), {}},
        {QStringLiteral("os"), QStringLiteral("os"), 277, titleFont(10),
         QFont(QStringLiteral("Arial"), 10)},
        {QStringLiteral("Размер"), QStringLiteral("Размер"), 109, titleFont(8), {}},
        {QStringLiteral("Версия"), QStringLiteral("Версия"), 80, titleFont(9), {}},
    });
}

void TForm1::connectHandlers() {
    const auto on = [this](QPushButton* button, void (TForm1::*handler)()) {
        connect(button, &QPushButton::clicked, this,
                [this, handler] { guarded([&] { (this->*handler)(); }); });
    };
    on(Button1, &TForm1::Button1Click);
    on(Button2, &TForm1::Button2Click);
    on(Button3, &TForm1::Button3Click);
    on(Button5, &TForm1::Button5Click);
    on(Button6, &TForm1::Button6Click);
    on(Button7, &TForm1::Button7Click);
    on(Button8, &TForm1::Button8Click);
    on(Button9, &TForm1::Button9Click);
    on(sButton1, &TForm1::sButton1Click);
    on(sButton2, &TForm1::sButton2Click);
    connect(DBGrid1, &DBGrid::cellClick, this, [this] { guarded([this] { DBGrid1CellClick(); }); });
    connect(DBGrid1, &DBGrid::dblClick, this, [this] { guarded([this] { DBGrid1DblClick(); }); });
    connect(DBGrid1, &DBGrid::keyPress, this,
            [this](QChar key) { guarded([&] { DBGrid1KeyPress(key); }); });
    Edit1->installEventFilter(this);
    Label1->installEventFilter(this);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edit1 && event->type() == QEvent::KeyPress) {
        const QString text = static_cast<QKeyEvent*>(event)->text();
        if (text.size() != 1) return false;
        QChar key = text.front();
        bool consumed = false;
        guarded([&] {
            try {
                Edit1KeyPress(key);
            } catch (const EAbort&) {
                // A silent abort also swallows the key that started it.
                consumed = true;
                throw;
            }
        });
        return consumed || key.isNull();
    }
    if (watched == Label1 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        guarded([this] { Label1Click(); });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TForm1::FormCreate() {
    sSkinManager1->setActive(true);
    QString folder = QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
    if (!folder.endsWith(QDir::separator())) folder += QDir::separator();
    sSkinManager1->setSkinDirectory(folder);
    sSkinManager1->setSkinName(QStringLiteral("Shine"));
}

void TForm1::Button2Click() {
    sEdit1->setText(kChooseDriver);
    if (Edit1->text().isEmpty()) {
        sEdit1->setText(kEnterQuery);
        Edit1->setFocus();
        SilentAbort();
    }
    Edit1->setText(TrimControlCharacters(Edit1->text()));
    const BusyScope busy;
    QFont gridFont = DBGrid1->font();
    gridFont.setFamily(QStringLiteral("Arial"));
    DBGrid1->setFont(gridFont);
    DBGrid1->setFocus();

    convertJetCatalogue();
    const qint64 found = RunDriverSearch(*ADOConnection1, *ADOQuery1, *ADOQuery2, Edit1->text());

    sLabel3->setText(QString::number(found));
    sLabel3->adjustSize();
    if (sLabel3->text() == u"0") sEdit1->setText(kNothingFound);
}

void TForm1::convertJetCatalogue() {
    ConversionProgressDialog progress(this);
    const QString done = ConvertJetCatalogueBeforeOpening(
        ADOConnection1->connectionString(), ConvertedCatalogue::Drivers, progress.reporter());
    if (!done.isEmpty()) sEdit1->setText(done);
}

void TForm1::Edit1KeyPress(QChar& key) {
    if (key == u'\r') Form1->Button2Click();
}

void TForm1::DBGrid1KeyPress(QChar& key) {
    if (key == u'\r') Form1->Button1Click();
}

void TForm1::Button1Click() {
    const QString url = DBEdit1->text();
    if (!url.isEmpty()) {
        OpenCatalogueAddress(QStringLiteral("http://") + url);
    } else {
        ShowPlainMessage(QStringLiteral("Нет ссылки на драйвер !"));
    }
}

void TForm1::Button9Click() {
    const QString direct = DBEdit3->text();
    if (!direct.isEmpty()) {
        OpenCatalogueAddress(direct);
        return;
    }
    const QString question =
        QStringLiteral("ИЗВИНИТЕ, ПОКА ДРАЙВЕРА ") + Quote + QStringLiteral(" - ") +
        DBEdit2->text() + Quote + QStringLiteral(" НЕТ В  БАЗЕ :( ") + CR + CR +
        QStringLiteral("РЕШЕНИЕ ПРОБЛЕМЫ:") + CR + CR +
        QStringLiteral("1.ПРОВЕРИТЬ - ВЫДЕЛЕН ЛИ ДРАЙВЕР В ТАБЛИЦЕ РЕЗУЛЬТАТОВ ?") + CR +
        QStringLiteral("2.ПОПРОБУЙТЕ ЩЕЛКНУТЬ (МЕДЛЕННЫЙ) ВАРИАНТ ! ") + CR +
        QStringLiteral("3.ОБНОВИТЕ БАЗУ ДАННЫХ !") + CR + CR +
        QStringLiteral(" Поискать на сайте: ") + CatalogueAddress() + QStringLiteral(" ???");
    offerCatalogueSearch(question);
}

QString TForm1::notFoundQuestion(bool fromDoubleClick) const {
    const QString searched = Edit1->text();
    return QStringLiteral("ИЗВИНИТЕ,  ДРАЙВЕР ") + Quote + searched + Quote +
           QStringLiteral(" НЕ НАЙДЕН :( ") + CR + CR + QStringLiteral("РЕШЕНИЕ ПРОБЛЕМЫ:") + CR +
           CR + QStringLiteral("1.ИЗМИНИТЕ ПОИСКОВЫЙ ЗАПРОС ! ") + CR +
           QStringLiteral("2.ОБНОВИТЕ БАЗУ ДАННЫХ !") + CR + CR +
           (fromDoubleClick ? QStringLiteral(" Поискать ") : QStringLiteral("Поискать ")) + Quote +
           searched + Quote + QStringLiteral(" на сайте: ") + CatalogueAddress() +
           QStringLiteral(" ???");
}

void TForm1::offerCatalogueSearch(const QString& question) {
    if (AppMessageBox(question, kNotFoundCaption, kQuestionFlags) == IDOK) {
        OpenInShell(WithQueryText(CatalogueSearchUrl(), Edit1->text()));
    }
}

void TForm1::DBGrid1CellClick() {
    if (!ADOQuery1->fieldByName(QStringLiteral("os")).isEmpty()) return;
    offerCatalogueSearch(notFoundQuestion(false));
}

void TForm1::DBGrid1DblClick() {
    if (ADOQuery1->fieldByName(QStringLiteral("os")).isEmpty()) {
        offerCatalogueSearch(notFoundQuestion(true));
        return;
    }
    QString details = QStringLiteral("ОБЩАЯ ИНФОРМАЦИЯ ! ") + CR + CR;
    details += QStringLiteral("Устройство - ") + ADOQuery1->field(1) + CR;
    details += QStringLiteral("Наименование - ") + DBEdit2->text() + CR;
    details += QStringLiteral("Операционная система - ") + CRLF + ADOQuery1->field(2) + CRLF;
    details += QStringLiteral("Размер - ") + ADOQuery1->field(3) + CR;
    details += QStringLiteral("Версия - ") + ADOQuery1->field(4);
    ShowPlainMessage(details);
}

void TForm1::Button5Click() {
    if (!Edit1->text().isEmpty()) {
        OpenInShell(WithQueryText(CatalogueSearchUrl(), Edit1->text()));
    } else {
        sEdit1->setText(kEnterQuery);
    }
    Edit1->setFocus();
    SilentAbort();
}

void TForm1::sButton1Click() { OpenInShell(SiteSearchUrl()); }
void TForm1::sButton2Click() { OpenInShell(SupportPageUrl()); }
void TForm1::Label1Click() { OpenInShell(HomePageUrl()); }
void TForm1::Button6Click() {
    if (DesktopRunsDeviceManagerScript()) {
        OpenInShell(DeviceManagerScript());
    } else {
        ShowModal(shownWindows_.deviceList);
    }
}
void TForm1::Button3Click() { ShowModal(shownWindows_.about); }
void TForm1::Button7Click() { ShowModal(shownWindows_.vendors); }
void TForm1::Button8Click() { ShowModal(shownWindows_.devices); }
