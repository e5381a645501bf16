#include "CatalogueWriter.h"
#include "SkinFixtures.h"
#include "TestSupport.h"
#include "about/TForm2.h"
#include "devices/TForm4.h"
#include "devices/TForm5.h"
#include "dialogs/Dialogs.h"
#include "mainwindow/TForm1.h"
#include "program/Startup.h"
#include "skin/SkinManager.h"
#include "skin/ThirdParty.h"
#include "vendors/TForm3.h"

#include <QDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace quarrow;
using namespace quarrow::test;
using namespace Qt::StringLiterals;

namespace {

const QColor kSkinText = QColor::fromString(u"#1d2a36");

QWidget* windowNamed(const QString& name) {
    if (name == u"Form1") return Form1;
    if (name == u"Form2") return Form2;
    if (name == u"Form3") return Form3;
    if (name == u"Form4") return Form4;
    return Form5;
}

QString sectionOf(const QWidget* widget) { return widget->property("skinSection").toString(); }

bool styledBySkin(const QWidget* widget) {
    return qstrcmp(widget->style()->metaObject()->className(), "QStyleSheetStyle") == 0;
}

double luminance(const QColor& colour) {
    const auto channel = [](double c) {
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
           0.0722 * channel(colour.blueF());
}

double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// What a dialog looked like to the skin while it was open.
struct SkinnedDialog {
    QString section;
    QStringList buttonSections;
    bool styled = false;
};

void recordNextDialog(SkinnedDialog& seen) {
    WhenNextDialogAppears([&seen](QWidget* dialog) {
        seen.section = sectionOf(dialog);
        seen.styled = styledBySkin(dialog);
        for (const QPushButton* button : dialog->findChildren<QPushButton*>()) {
            seen.buttonSections << sectionOf(button);
        }
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
}

}  // namespace

class SkinWindowsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void noSkinLeavesThePlainLookWithoutAMessage();
    void everyWindowAndControlTakesItsSection_data();
    void everyWindowAndControlTakesItsSection();
    void standardControlsTakeTheSectionOfTheirList();
    void dialogsBoxesAndMenusAreSkinned();
    void labelsFollowTheSkinAndKeepTheirLookWithout_data();
    void labelsFollowTheSkinAndKeepTheirLookWithout();
    void logoAndIconAreTheProgramsOwn();
    void declaredFontsOutlastTheSkin();
    void declaredTextColoursStayLegible_data();
    void declaredTextColoursStayLegible();

private:
    void loadShine();
    void showAll();

    std::unique_ptr<TemporaryCurrentFolder> current_;
    std::unique_ptr<QTemporaryDir> program_;
};

void SkinWindowsTest::init() {
    current_ = std::make_unique<TemporaryCurrentFolder>();
    program_ = std::make_unique<QTemporaryDir>();
    WriteDriverCatalogue(current_->filePath(u"vek.mdb"_s), u"kavrel"_s,
                         {{u"Наименование"_s, u"Устройство"_s, u"os"_s, u"Размер"_s, u"Версия"_s,
                           u"url"_s, u"URLdr"_s, u"ver"_s},
                          {{u"GeForce 7300 GT"_s, u"Видеокарта"_s, u"Windows XP"_s, u"12 МБ"_s,
                            u"1.0"_s, u"example.com/d.zip"_s, QString(), u"2026.12"_s}}});
    // As at start-up: the main window first, its creation handler finds no
    // skin beside this test program; the skin comes before the other windows.
    Form1 = new TForm1;
    Form1->show();
}

void SkinWindowsTest::cleanup() {
    DestroyWindowSet();
    qApp->setStyleSheet(QString());
    program_.reset();
    current_.reset();
}

void SkinWindowsTest::loadShine() {
    WriteSkinArchive(program_->filePath(u"Shine.asz"_s), ShineFiles());
    TsSkinManager* manager = Form1->sSkinManager1;
    manager->setSkinDirectory(program_->path() + u'/');
    manager->setActive(true);
    manager->setSkinName(u"Shine"_s);
    QVERIFY(manager->skinLoaded());
}

void SkinWindowsTest::showAll() {
    if (Form2 == nullptr) Form2 = new TForm2;
    if (Form3 == nullptr) Form3 = new TForm3;
    if (Form4 == nullptr) Form4 = new TForm4;
    if (Form5 == nullptr) {
        Form5 = new TForm5;
        Form5->setDeviceReader([] { return HardwareScan{}; });
    }
    for (QWidget* window :
         {static_cast<QWidget*>(Form1), static_cast<QWidget*>(Form2), static_cast<QWidget*>(Form3),
          static_cast<QWidget*>(Form4), static_cast<QWidget*>(Form5)}) {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
    }
}

void SkinWindowsTest::noSkinLeavesThePlainLookWithoutAMessage() {
    QVERIFY(QTest::qWaitForWindowExposed(Form1));
    QVERIFY(!Form1->sSkinManager1->active());
    QVERIFY(!Form1->sSkinManager1->skinLoaded());
    QCOMPARE(Form1->sSkinManager1->skinName(), u"Shine"_s);
    QVERIFY(Form1->sSkinManager1->skinDirectory().endsWith(QDir::separator()));
    QVERIFY(qApp->styleSheet().isEmpty());
    QVERIFY(!styledBySkin(Form1->Button9));
    for (QWidget* window : QApplication::topLevelWidgets()) {
        QVERIFY2(!(window->isVisible() && qobject_cast<QDialog*>(window)),
                 qPrintable(window->objectName()));
    }
}

void SkinWindowsTest::everyWindowAndControlTakesItsSection_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QStringList>("controls");
    QTest::addColumn<QString>("section");
    const auto names = [](const char* text) { return QString::fromUtf8(text).split(u' '); };
    const auto numbered = [](const char* stem, int from, int to) {
        QStringList list;
        for (int i = from; i <= to; ++i) list << QString::fromUtf8(stem) + QString::number(i);
        return list;
    };
    QTest::newRow("Form1 window") << "Form1" << QStringList{u"Form1"_s} << "FORM";
    QTest::newRow("Form1 panels") << "Form1" << numbered("sPanel", 1, 7) << "PANEL";
    QTest::newRow("Form1 skinned buttons") << "Form1" << names("sButton1 sButton2") << "BUTTON";
    QTest::newRow("Form1 messages line") << "Form1" << names("sEdit1") << "EDIT";
    QTest::newRow("Form1 push buttons")
        << "Form1" << names("Button1 Button2 Button3 Button5 Button6 Button7 Button8 Button9")
        << "BUTTON";
    QTest::newRow("Form1 text boxes")
        << "Form1" << names("Edit1 DBEdit1 DBEdit2 DBEdit3") << "EDIT";
    QTest::newRow("Form1 grid") << "Form1" << names("DBGrid1") << "EDIT";
    QTest::newRow("Form2 window") << "Form2" << names("Form2") << "FORM";
    QTest::newRow("Form2 panel") << "Form2" << names("sPanel2") << "PANEL";
    QTest::newRow("Form2 button") << "Form2" << names("sButton1") << "BUTTON";
    QTest::newRow("Form2 memo and version box") << "Form2" << names("memo DBEdit1") << "EDIT";
    QTest::newRow("Form2 group box") << "Form2" << names("GroupBox3") << "GROUPBOX";
    QTest::newRow("Form3 window") << "Form3" << names("Form3") << "FORM";
    QTest::newRow("Form3 vendor buttons") << "Form3" << numbered("sButton", 1, 26) << "SPEEDBUTTON";
    QTest::newRow("Form3 panel") << "Form3" << names("sPanel2") << "PANEL";
    QTest::newRow("Form3 group box") << "Form3" << names("GroupBox1") << "GROUPBOX";
    QTest::newRow("Form4 window") << "Form4" << names("Form4") << "FORM";
    QTest::newRow("Form4 panels") << "Form4" << numbered("sPanel", 1, 5) << "PANEL";
    QTest::newRow("Form4 buttons") << "Form4" << names("sButton1 Button2") << "BUTTON";
    QTest::newRow("Form4 text box and grid") << "Form4" << names("Edit1 DBGrid1") << "EDIT";
    QTest::newRow("Form4 check boxes") << "Form4" << names("CheckBox1 CheckBox2") << "CHECKBOX";
    QTest::newRow("Form4 button ЭТОТ ПК") << "Form4" << names("Button3") << "BUTTON";
    QTest::newRow("Form5 window") << "Form5" << names("Form5") << "FORM";
    QTest::newRow("Form5 panels") << "Form5" << names("sPanel1 sPanel2 sPanel4 sPanel5") << "PANEL";
    QTest::newRow("Form5 button") << "Form5" << names("Button1") << "BUTTON";
    QTest::newRow("Form5 grid") << "Form5" << names("Grid1") << "EDIT";
}

void SkinWindowsTest::everyWindowAndControlTakesItsSection() {
    QFETCH(QString, window);
    QFETCH(QStringList, controls);
    QFETCH(QString, section);
    loadShine();
    showAll();

    QWidget* top = windowNamed(window);
    for (const QString& name : controls) {
        QWidget* control = name == window ? top : top->findChild<QWidget*>(name);
        QVERIFY2(control != nullptr, qPrintable(window + u'.' + name));
        QCOMPARE(sectionOf(control), section);
        QVERIFY2(styledBySkin(control), qPrintable(name));
    }
}

// Whatever a window holds besides its declared controls: every control of
// a listed class takes its list's section, and nothing else is given one.
void SkinWindowsTest::standardControlsTakeTheSectionOfTheirList() {
    loadShine();
    showAll();
    for (QWidget* window :
         {static_cast<QWidget*>(Form1), static_cast<QWidget*>(Form2), static_cast<QWidget*>(Form3),
          static_cast<QWidget*>(Form4), static_cast<QWidget*>(Form5)}) {
        for (QWidget* widget : window->findChildren<QWidget*>()) {
            const QString listed = ThirdPartySection(widget->metaObject()->className());
            if (!listed.isEmpty() && !widget->objectName().startsWith(u's')) {
                QCOMPARE(sectionOf(widget), listed);
            }
            if (qobject_cast<QLabel*>(widget) != nullptr) {
                QVERIFY2(sectionOf(widget).isEmpty(), qPrintable(widget->objectName()));
            }
        }
    }
}

void SkinWindowsTest::dialogsBoxesAndMenusAreSkinned() {
    loadShine();

    SkinnedDialog message;
    recordNextDialog(message);
    ShowPlainMessage(u"Нет ссылки на драйвер !"_s);
    QCOMPARE(message.section, u"FORM"_s);
    QVERIFY(message.styled);
    QVERIFY(!message.buttonSections.isEmpty());
    for (const QString& section : message.buttonSections) QCOMPARE(section, u"BUTTON"_s);

    SkinnedDialog box;
    recordNextDialog(box);
    AppMessageBox(u"text"_s, u"ДРАЙВЕР НЕ НАЙДЕН !"_s, MB_OK);
    QCOMPARE(box.section, u"DIALOG"_s);
    QVERIFY(box.styled);
    for (const QString& section : box.buttonSections) QCOMPARE(section, u"BUTTON"_s);

    const std::unique_ptr<QMenu> menu(Form1->Edit1->createStandardContextMenu());
    menu->popup(Form1->Edit1->mapToGlobal(QPoint(4, 4)));
    QVERIFY(QTest::qWaitForWindowExposed(menu.get()));
    QCOMPARE(sectionOf(menu.get()), u"MAINMENU"_s);
    QVERIFY(styledBySkin(menu.get()));
    menu->close();
}

void SkinWindowsTest::labelsFollowTheSkinAndKeepTheirLookWithout_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("label");
    QTest::addColumn<bool>("opaqueWhenPlain");
    QTest::newRow("Form1 Label1, the maker's address") << "Form1"
                                                       << "Label1" << true;
    for (const char* name : {"sLabel1", "sLabel2", "sLabel4"}) {
        QTest::newRow(qPrintable(u"Form1 "_s + QString::fromUtf8(name)))
            << "Form1" << QString::fromUtf8(name) << false;
    }
    QTest::newRow("Form2 Label1") << "Form2"
                                  << "Label1" << true;
    QTest::newRow("Form3 Label2") << "Form3"
                                  << "Label2" << true;
    QTest::newRow("Form4 Label1") << "Form4"
                                  << "Label1" << true;
    QTest::newRow("Form4 sLabel1") << "Form4"
                                   << "sLabel1" << false;
    QTest::newRow("Form4 sLabel2") << "Form4"
                                   << "sLabel2" << false;
    QTest::newRow("Form5 Label1") << "Form5"
                                  << "Label1" << true;
    QTest::newRow("Form5 sLabel4") << "Form5"
                                   << "sLabel4" << false;
}

void SkinWindowsTest::labelsFollowTheSkinAndKeepTheirLookWithout() {
    QFETCH(QString, window);
    QFETCH(QString, label);
    QFETCH(bool, opaqueWhenPlain);
    showAll();
    auto* control = windowNamed(window)->findChild<QLabel*>(label);
    QVERIFY2(control != nullptr, qPrintable(label));
    const QColor declaredText = control->palette().color(QPalette::WindowText);
    const QColor declaredBack = control->palette().color(QPalette::Window);
    if (opaqueWhenPlain) {
        QCOMPARE(declaredText, QColor(Qt::black));
        QVERIFY(control->autoFillBackground());
        QCOMPARE(declaredBack.alpha(), 255);
    }

    loadShine();
    QCOMPARE(control->palette().color(QPalette::WindowText), kSkinText);
    QCOMPARE(control->palette().color(QPalette::Window).alpha(), 0);
    // Where the label draws no text, what lies behind it shows through.
    const QRect corner(control->mapTo(control->window(), QPoint(0, control->height() - 1)),
                       QSize(1, 1));
    const QColor drawn = control->window()->grab(corner).toImage().pixelColor(0, 0);
    control->hide();
    const QColor behind = control->window()->grab(corner).toImage().pixelColor(0, 0);
    control->show();
    QCOMPARE(drawn, behind);

    Form1->sSkinManager1->setActive(false);
    QCOMPARE(control->palette().color(QPalette::WindowText), declaredText);
    QCOMPARE(control->palette().color(QPalette::Window), declaredBack);
}

void SkinWindowsTest::logoAndIconAreTheProgramsOwn() {
    QVERIFY(QTest::qWaitForWindowExposed(Form1));
    QCOMPARE(Form1->windowIcon().availableSizes().size(), 7);
    QCOMPARE(QApplication::windowIcon().availableSizes(), Form1->windowIcon().availableSizes());
    QLabel* logo = Form1->Image1;
    QCOMPARE(logo->geometry(), QRect(664, 64, 209, 89));
    QVERIFY(!logo->pixmap().isNull());
    QCOMPARE(logo->pixmap().size(), QSize(209, 89));
    QVERIFY(!logo->hasScaledContents());
    const QImage plain = logo->grab().toImage();

    loadShine();
    QCOMPARE(sectionOf(logo), QString());
    QCOMPARE(logo->geometry(), QRect(664, 64, 209, 89));
    QCOMPARE(logo->grab().toImage(), plain);
}

void SkinWindowsTest::declaredTextColoursStayLegible_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QColor>("text");
    QTest::newRow("КАЧАТЬ БЫСТРО keeps its lime text") << "Button9" << QColor(0, 255, 0);
    QTest::newRow("the messages line keeps the link colour")
        << "sEdit1" << QColor::fromString(u"#0066cc");
}

void SkinWindowsTest::declaredTextColoursStayLegible() {
    QFETCH(QString, control);
    QFETCH(QColor, text);
    auto* widget = Form1->findChild<QWidget*>(control);
    QVERIFY(widget != nullptr);
    loadShine();
    QVERIFY(QTest::qWaitForWindowExposed(Form1));

    const QPalette::ColorRole role =
        qobject_cast<QPushButton*>(widget) != nullptr ? QPalette::ButtonText : QPalette::Text;
    QCOMPARE(widget->palette().color(role), text);
    // The background at a few places without text, away from the border.
    const QImage image = widget->grab().toImage();
    for (const QPoint at :
         {QPoint(4, 4), QPoint(4, image.height() / 2), QPoint(4, image.height() - 5)}) {
        const QColor background = image.pixelColor(at);
        QVERIFY2(contrast(text, background) >= 4.5,
                 qPrintable(u"%1 on %2"_s.arg(text.name(), background.name())));
    }
}

// The skin names no fonts: controls keep the declared ones while it comes,
// is loaded again and goes.
void SkinWindowsTest::declaredFontsOutlastTheSkin() {
    const QFont declared(u"MS Sans Serif"_s, 8);
    const QList<QWidget*> controls{Form1->Button7, Form1->sLabel4, Form1->sButton2};
    const auto check = [&](const char* when) {
        for (QWidget* control : controls) {
            QVERIFY2(control->font().family() == declared.family() &&
                         control->font().pointSize() == declared.pointSize(),
                     qPrintable(control->objectName() + u' ' + QString::fromUtf8(when) + u' ' +
                                control->font().toString()));
        }
        QCOMPARE(Form1->Edit1->font().family(), u"Microsoft Sans Serif"_s);
        QCOMPARE(Form1->Edit1->font().pointSize(), 14);
    };
    QVERIFY(QTest::qWaitForWindowExposed(Form1));
    check("plain");
    loadShine();
    check("skinned");
    loadShine();
    check("loaded again");
    Form1->sSkinManager1->setActive(false);
    check("dropped");
    // Where the declared face is missing, one of the same widths stands in.
    if (QFontDatabase::families().contains(u"Liberation Sans"_s)) {
        QCOMPARE(QFontInfo(Form1->Button7->font()).family(), u"Liberation Sans"_s);
    }
}

QUARROW_TEST_MAIN(SkinWindowsTest)
#include "tst_skin_windows.moc"
