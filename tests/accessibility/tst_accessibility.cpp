#include "CatalogueWriter.h"
#include "ModalWindow.h"
#include "SampleComputer.h"
#include "TestSupport.h"
#include "about/TForm2.h"
#include "devices/TForm4.h"
#include "devices/TForm5.h"
#include "forms/DeferredWindow.h"
#include "forms/ShowModal.h"
#include "mainwindow/TForm1.h"
#include "program/Startup.h"
#include "vendors/TForm3.h"
#include "widgets/DBEdit.h"

#include <QAccessible>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

using namespace quarrow;
using namespace quarrow::test;

namespace {

QWidget* windowNamed(const QString& name) {
    const QHash<QString, QWidget*> windows{{QStringLiteral("Form1"), Form1},
                                           {QStringLiteral("Form2"), Form2},
                                           {QStringLiteral("Form3"), Form3},
                                           {QStringLiteral("Form4"), Form4},
                                           {QStringLiteral("Form5"), Form5}};
    return windows.value(name);
}

// Runs `inside` while `window` is on screen: the main window always is; the
// others are shown modally, as their buttons show them, and hidden again
// unless `inside` closed them.
void whileShown(QWidget* window, const std::function<void()>& inside) {
    if (window == Form1) {
        inside();
        return;
    }
    WhenShownModally(window, [&] {
        inside();
        if (window->isVisible()) window->hide();
    });
    ShowModal(window);
}

// Answers whatever else comes up while it lives (a message, a question, one
// of the other windows) at once, so that pressing a button that opens
// something returns.
class DismissOtherWindows : public QObject {
public:
    explicit DismissOtherWindows(QWidget* kept) : kept_(kept) { qApp->installEventFilter(this); }
    ~DismissOtherWindows() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show || !watched->isWidgetType()) return false;
        auto* shown = static_cast<QWidget*>(watched);
        if (!shown->isWindow() || shown == kept_ || shown == Form1) return false;
        QTimer::singleShot(0, shown, [shown] {
            if (auto* dialog = qobject_cast<QDialog*>(shown)) {
                dialog->reject();
            } else {
                shown->hide();
            }
        });
        return false;
    }

private:
    QWidget* kept_;
};

struct AccessibleControl {
    QWidget* widget;
    QString name;
    bool focusable;
};

// Every control that a screen reader reaches from `node`, depth first. Also
// checks that each child names `node` as its parent and is found at its own
// index, as a screen reader walking up and down the tree needs.
void walk(QAccessibleInterface* node, QList<AccessibleControl>& reached, QStringList& faults) {
    for (int index = 0; index < node->childCount(); ++index) {
        QAccessibleInterface* child = node->child(index);
        if (child == nullptr) {
            faults.append(QStringLiteral("a missing child"));
            continue;
        }
        auto* widget = qobject_cast<QWidget*>(child->object());
        if (widget != nullptr) {
            if (child->parent() != node || node->indexOfChild(child) != index) {
                faults.append(widget->objectName() + QStringLiteral(" is not where it says"));
            }
            reached.append(
                {widget, child->text(QAccessible::Name), bool(child->state().focusable)});
        }
        walk(child, reached, faults);
    }
}

QList<QWidget*> widgetsOf(const QList<AccessibleControl>& controls) {
    QList<QWidget*> widgets;
    for (const AccessibleControl& control : controls) widgets.append(control.widget);
    return widgets;
}

QList<QPushButton*> focusableButtons(QWidget* window) {
    QList<QPushButton*> buttons;
    for (QPushButton* button : window->findChildren<QPushButton*>()) {
        if (!button->isHidden() && (button->focusPolicy() & Qt::TabFocus)) buttons.append(button);
    }
    return buttons;
}

QStringList objectNames(const QList<QPushButton*>& widgets) {
    QStringList names;
    for (const QWidget* widget : widgets) names.append(widget->objectName());
    names.sort();
    return names;
}

QString accessibleName(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
}

}  // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void everyFocusableControlHasAName_data();
    void everyFocusableControlHasAName();
    void namesComeFromTheVisibleLabels_data();
    void namesComeFromTheVisibleLabels();
    void enterPressesTheFocusedButton_data();
    void enterPressesTheFocusedButton();
    void enterElsewherePressesNoButton_data();
    void enterElsewherePressesNoButton();

private:
    std::unique_ptr<TemporaryCurrentFolder> folder_;
    std::unique_ptr<RecordingLauncher> launcher_;
};

void AccessibilityTest::init() {
    folder_ = std::make_unique<TemporaryCurrentFolder>();
    launcher_ = std::make_unique<RecordingLauncher>();
    WriteSampleDeviceCatalogue(folder_->filePath(QStringLiteral("dev.mdb")));
    WriteDriverCatalogue(
        folder_->filePath(QStringLiteral("vek.mdb")), QStringLiteral("kavrel"),
        {DriverCatalogueColumns(),
         {{QStringLiteral("GeForce 7300 GT"), QStringLiteral("Видеокарта"),
           QStringLiteral("Windows"), QStringLiteral("38 МБ"), QStringLiteral("1.0"),
           QStringLiteral("drivers.example/a.zip"), QString(), QStringLiteral("2026.12")}}});
    CreateWindowSet();
    QVERIFY(QTest::qWaitForWindowExposed(Form1));
    // The cases look at controls of windows before showing them, which would make them.
    for (DeferredWindow* window :
         {static_cast<DeferredWindow*>(Form2), static_cast<DeferredWindow*>(Form3),
          static_cast<DeferredWindow*>(Form4)}) {
        window->makeContents();
    }
    Form5->setDeviceReader([] { return SampleComputerScan(); });
}

void AccessibilityTest::cleanup() {
    DestroyWindowSet();
    launcher_.reset();
    folder_.reset();
}

void AccessibilityTest::everyFocusableControlHasAName_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<int>("hiddenFieldBoxes");
    QTest::newRow("main window") << QStringLiteral("Form1") << 3;
    QTest::newRow("About") << QStringLiteral("Form2") << 0;
    QTest::newRow("manufacturers") << QStringLiteral("Form3") << 0;
    QTest::newRow("unknown device") << QStringLiteral("Form4") << 0;
    QTest::newRow("this computer's devices") << QStringLiteral("Form5") << 0;
}

void AccessibilityTest::everyFocusableControlHasAName() {
    QFETCH(QString, window);
    QFETCH(int, hiddenFieldBoxes);
    QWidget* shown = windowNamed(window);
    QAccessible::Role role = QAccessible::NoRole;
    QString title;
    QList<AccessibleControl> reached;
    QStringList faults;
    QList<QWidget*> focusableOnScreen;
    whileShown(shown, [&] {
        // A search fills the main window's grid, so that its rows are walked too.
        if (shown == Form1) {
            Form1->Edit1->setText(QStringLiteral("7300"));
            Form1->Button2->click();
        }
        QAccessibleInterface* root = QAccessible::queryAccessibleInterface(shown);
        role = root->role();
        title = root->text(QAccessible::Name);
        walk(root, reached, faults);
        for (QWidget* widget : shown->findChildren<QWidget*>()) {
            if (widget->isVisible() && (widget->focusPolicy() & Qt::TabFocus)) {
                focusableOnScreen.append(widget);
            }
        }
    });

    QCOMPARE(role, QAccessible::Window);
    QCOMPARE(title, shown->windowTitle());
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u", ")));

    QStringList unnamed;
    for (const AccessibleControl& control : reached) {
        if (control.focusable && control.name.trimmed().isEmpty()) {
            unnamed.append(control.widget->objectName());
        }
    }
    QVERIFY2(unnamed.isEmpty(),
             qPrintable(QStringLiteral("without a name: ") + unnamed.join(u", ")));

    // Every control that takes the focus is in the tree, so none escapes the
    // check above.
    const QList<QWidget*> reachedWidgets = widgetsOf(reached);
    QStringList missing;
    for (QWidget* widget : focusableOnScreen) {
        if (!reachedWidgets.contains(widget)) missing.append(widget->objectName());
    }
    QVERIFY2(missing.isEmpty(),
             qPrintable(QStringLiteral("not in the tree: ") + missing.join(u", ")));

    // The field boxes that only carry the current row's values are neither
    // read out nor reached by Tab.
    int hidden = 0;
    for (DBEdit* box : shown->findChildren<DBEdit*>()) {
        if (!box->isHidden()) continue;
        ++hidden;
        QVERIFY2(!reachedWidgets.contains(box), qPrintable(box->objectName()));
        QCOMPARE(box->focusPolicy(), Qt::NoFocus);
    }
    QCOMPARE(hidden, hiddenFieldBoxes);
}

void AccessibilityTest::namesComeFromTheVisibleLabels_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("label");  // the label that names it as its buddy, if any
    QTest::addColumn<QString>("name");
    QTest::newRow("search box") << QStringLiteral("Form1") << QStringLiteral("Edit1")
                                << QStringLiteral("sLabel1")
                                << QStringLiteral("Поиск по наименованию драйвера");
    // Spoken with the Cyrillic С: the label's look-alike Latin C would be
    // spelt out as a letter of its own.
    QTest::newRow("messages line") << QStringLiteral("Form1") << QStringLiteral("sEdit1")
                                   << QStringLiteral("sLabel4") << QStringLiteral("Сообщения");
    QTest::newRow("result grid") << QStringLiteral("Form1") << QStringLiteral("DBGrid1")
                                 << QString() << QStringLiteral("Найдено драйверов");
    QTest::newRow("About text") << QStringLiteral("Form2") << QStringLiteral("memo") << QString()
                                << QStringLiteral("О программе");
    QTest::newRow("catalogue version") << QStringLiteral("Form2") << QStringLiteral("DBEdit1")
                                       << QString() << QStringLiteral("Текущая версия базы");
    QTest::newRow("device search box")
        << QStringLiteral("Form4") << QStringLiteral("Edit1") << QStringLiteral("sLabel1")
        << QStringLiteral("Поиск неизвесного устройства");
    QTest::newRow("device grid") << QStringLiteral("Form4") << QStringLiteral("DBGrid1")
                                 << QString() << QStringLiteral("Найдено устройств");
    QTest::newRow("device list") << QStringLiteral("Form5") << QStringLiteral("Grid1") << QString()
                                 << QStringLiteral("Устройства этого компьютера");
}

void AccessibilityTest::namesComeFromTheVisibleLabels() {
    QFETCH(QString, window);
    QFETCH(QString, control);
    QFETCH(QString, label);
    QFETCH(QString, name);
    QWidget* named = windowNamed(window)->findChild<QWidget*>(control);
    QVERIFY(named != nullptr);
    QCOMPARE(accessibleName(named), name);
    if (label.isEmpty()) return;
    auto* byLabel = windowNamed(window)->findChild<QLabel*>(label);
    QVERIFY(byLabel != nullptr);
    QCOMPARE(byLabel->buddy(), named);
    // The label says whom it labels, so a screen reader can go from one to the other.
    const auto labelled =
        QAccessible::queryAccessibleInterface(byLabel)->relations(QAccessible::Labelled);
    QCOMPARE(labelled.size(), 1);
    QCOMPARE(labelled.first().first->object(), named);
}

void AccessibilityTest::enterPressesTheFocusedButton_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");

    QStringList vendorButtons;
    for (int number = 1; number <= 26; ++number) {
        vendorButtons.append(QStringLiteral("sButton%1").arg(number));
    }
    struct WindowButtons {
        const char* row;
        QString window;
        QStringList buttons;
    };
    const QList<WindowButtons> windows{
        {"main window",
         QStringLiteral("Form1"),
         {QStringLiteral("Button1"), QStringLiteral("Button2"), QStringLiteral("Button3"),
          QStringLiteral("Button5"), QStringLiteral("Button6"), QStringLiteral("Button7"),
          QStringLiteral("Button8"), QStringLiteral("Button9"), QStringLiteral("sButton1"),
          QStringLiteral("sButton2")}},
        {"About", QStringLiteral("Form2"), {QStringLiteral("sButton1")}},
        {"manufacturers", QStringLiteral("Form3"), vendorButtons},
        {"unknown device",
         QStringLiteral("Form4"),
         {QStringLiteral("Button2"), QStringLiteral("Button3"), QStringLiteral("sButton1")}},
        {"this computer's devices", QStringLiteral("Form5"), {QStringLiteral("Button1")}},
    };
    const QList<std::tuple<const char*, Qt::Key, Qt::KeyboardModifiers>> keys{
        {"Enter", Qt::Key_Return, Qt::NoModifier},
        {"keypad Enter", Qt::Key_Enter, Qt::KeypadModifier},
        {"Space", Qt::Key_Space, Qt::NoModifier},
    };
    for (const WindowButtons& window : windows) {
        QStringList buttons = window.buttons;
        buttons.sort();
        for (const auto& [keyName, key, modifiers] : keys) {
            QTest::addRow("%s, %s", window.row, keyName)
                << window.window << buttons << int(key) << int(modifiers);
        }
    }
}

void AccessibilityTest::enterPressesTheFocusedButton() {
    QFETCH(QString, window);
    QFETCH(QStringList, buttons);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QWidget* shown = windowNamed(window);
    const QList<QPushButton*> focusable = focusableButtons(shown);
    QCOMPARE(objectNames(focusable), buttons);

    QStringList notPressed;
    for (QPushButton* button : focusable) {
        int clicks = -1;
        whileShown(shown, [&] {
            QApplication::setActiveWindow(shown);
            button->setFocus();
            if (!QTest::qWaitFor([&] { return QApplication::focusWidget() == button; })) return;
            QSignalSpy clicked(button, &QAbstractButton::clicked);
            const DismissOtherWindows dismiss(shown);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key),
                            Qt::KeyboardModifiers(modifiers));
            clicks = int(clicked.size());
        });
        if (clicks != 1) {
            notPressed.append(QStringLiteral("%1 (%2)").arg(button->objectName()).arg(clicks));
        }
    }
    QVERIFY2(notPressed.isEmpty(), qPrintable(notPressed.join(u", ")));
}

void AccessibilityTest::enterElsewherePressesNoButton_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    QTest::newRow("messages line") << QStringLiteral("Form1") << QStringLiteral("sEdit1");
    QTest::newRow("device search box") << QStringLiteral("Form4") << QStringLiteral("Edit1");
    QTest::newRow("vendor lookup tick") << QStringLiteral("Form4") << QStringLiteral("CheckBox2");
}

// Where Enter has no meaning of its own it does nothing: no button of the
// window becomes a default that Enter would press.
void AccessibilityTest::enterElsewherePressesNoButton() {
    QFETCH(QString, window);
    QFETCH(QString, control);
    QWidget* shown = windowNamed(window);
    auto* focused = shown->findChild<QWidget*>(control);
    QVERIFY(focused != nullptr);
    Form4->Edit1->setText(QStringLiteral("8086"));
    Form4->CheckBox2->setChecked(true);

    int clicks = -1;
    const ShownDialogs dialogs(true);
    whileShown(shown, [&] {
        shown->activateWindow();
        focused->setFocus();
        if (!QTest::qWaitFor([&] { return QApplication::focusWidget() == focused; })) return;
        QList<std::shared_ptr<QSignalSpy>> spies;
        for (QPushButton* button : focusableButtons(shown)) {
            spies.append(std::make_shared<QSignalSpy>(button, &QAbstractButton::clicked));
        }
        QTest::keyClick(focused, Qt::Key_Return);
        clicks = 0;
        for (const auto& spy : spies) clicks += int(spy->size());
    });
    QCOMPARE(clicks, 0);
    QVERIFY(dialogs.dialogs.isEmpty());
    QVERIFY(launcher_->targets.isEmpty());
    QCOMPARE(Form4->sLabel3->text(), QStringLiteral("0"));
    QVERIFY(Form4->CheckBox2->isChecked());
}

QUARROW_TEST_MAIN(AccessibilityTest)
#include "tst_accessibility.moc"
