// Takes the README's screenshots: the windows, a message dialog and a message
// box, first with the plain look, then with the skin Shine.
// Usage: skin_screenshots <output folder> <folder holding Shine.asz>
#include "CatalogueWriter.h"
#include "SampleComputer.h"
#include "TestSupport.h"
#include "about/TForm2.h"
#include "db/Connection.h"
#include "devices/TForm4.h"
#include "devices/TForm5.h"
#include "dialogs/Dialogs.h"
#include "mainwindow/TForm1.h"
#include "program/QuarrowApplication.h"
#include "program/Startup.h"
#include "skin/SkinManager.h"
#include "vendors/TForm3.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

using namespace quarrow;
using namespace quarrow::test;
using namespace Qt::StringLiterals;

namespace {

QList<QStringList> drivers() {
    const auto row = [](const char* name, const char* device, const char* os, const char* size,
                        const char* version, const char* direct) {
        const QString title = QString::fromUtf8(name);
        return QStringList{title,
                           QString::fromUtf8(device),
                           QString::fromUtf8(os),
                           QString::fromUtf8(size),
                           QString::fromUtf8(version),
                           u"drivers.example/"_s + QString(title).replace(u' ', u'-') + u".zip"_s,
                           direct[0] != 0 ? QString::fromUtf8(direct) : QString(),
                           u"2026.12"_s};
    };
    return {
        row("GeForce 7300 GT", "Видеокарта", "Windows XP, Windows 7 32/64-bit", "38 МБ", "93.71",
            ""),
        row("GeForce 7300 GS", "Видеокарта", "Windows XP", "35 МБ", "91.47",
            "http://drivers.example/7300gs.zip"),
        row("GeForce 7300 LE", "Видеокарта", "Windows 2000, Windows XP", "34 МБ", "84.21", ""),
        row("GeForce 7300 SE", "Видеокарта", "Windows Vista 32-bit", "41 МБ", "97.94", ""),
        row("GeForce Go 7300", "Видеокарта ноутбука", "Windows XP", "29 МБ", "84.63", ""),
    };
}

void makeCatalogues() {
    WriteDriverCatalogue(u"vek.mdb"_s, u"kavrel"_s,
                         {{u"Наименование"_s, u"Устройство"_s, u"os"_s, u"Размер"_s, u"Версия"_s,
                           u"url"_s, u"URLdr"_s, u"ver"_s},
                          drivers()});
    CatalogueTable devices{{u"Код"_s, u"device"_s}, {}};
    for (const char* device :
         {"PCI\\VEN_10DE&DEV_0393  NVIDIA GeForce 7300 GT",
          "PCI\\VEN_10DE&DEV_01D1  NVIDIA GeForce 7300 LE",
          "PCI\\VEN_10DE&DEV_01DF  NVIDIA GeForce 7500 LE", "PCI\\VEN_10DE&DEV_0393&SUBSYS_..."}) {
        devices.rows.append({QString(), QString::fromUtf8(device)});
    }
    WriteDeviceCatalogue(u"dev.mdb"_s, u"kavrel"_s, devices);
}

class Camera {
public:
    Camera(QString folder, QString look) : folder_(std::move(folder)), look_(std::move(look)) {}

    void window(QWidget* window, const QString& name) {
        window->show();
        if (!QTest::qWaitForWindowExposed(window)) qWarning("%s was not shown", qPrintable(name));
        save(window, name);
        if (window != Form1) window->hide();
    }

    // Shows a modal dialog through `open` and photographs it before closing.
    void dialog(const QString& name, const std::function<void()>& open) {
        WhenNextDialogAppears([this, name](QWidget* dialog) {
            save(dialog, name);
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
        open();
    }

private:
    void save(QWidget* widget, const QString& name) {
        const QString path = QDir(folder_).filePath(name + u'-' + look_ + u".png"_s);
        if (!widget->grab().save(path)) qWarning("cannot write %s", qPrintable(path));
        QTextStream(stdout) << path << '\n';
    }

    QString folder_;
    QString look_;
};

void photograph(const QString& folder, const QString& look) {
    Camera camera(folder, look);
    Form1->Edit1->setText(u"7300"_s);
    QTest::mouseClick(Form1->Button2, Qt::LeftButton);
    camera.window(Form1, u"main-window"_s);
    camera.window(Form2, u"about"_s);
    camera.window(Form3, u"vendors"_s);
    Form4->Edit1->setText(u"VEN_10DE"_s);
    Form4->Button2Click();
    camera.window(Form4, u"unknown-device"_s);
    camera.window(Form5, u"device-list"_s);
    camera.dialog(u"message-dialog"_s, [] { Form1->DBGrid1DblClick(); });
    camera.dialog(u"message-box"_s, [] { Form1->Button9Click(); });
}

}  // namespace

int main(int argc, char** argv) {
    QuarrowApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 3) {
        QTextStream(stderr)
            << "usage: skin_screenshots <output folder> <folder holding Shine.asz>\n";
        return 2;
    }
    const QString output = QDir(arguments[1]).absolutePath();
    const QString skins = QDir(arguments[2]).absolutePath() + u'/';
    QDir().mkpath(output);

    TemporaryCurrentFolder current;
    RecordingLauncher launcher;  // nothing leaves for the desktop
    makeCatalogues();
    SetApplicationTitle(u"Quarrow"_s);
    CreateWindowSet();  // no skin beside this program: the plain look
    // The device list shows a small computer of its own, named by a
    // catalogue built from pci.ids and usb.ids; its connection opens in the
    // folder that holds that catalogue and stays open.
    QTemporaryDir computer;
    WriteSampleDeviceCatalogue(computer.filePath(u"dev.mdb"_s));
    QDir::setCurrent(computer.path());
    Form5->ADOConnection1->open();
    QDir::setCurrent(current.path());
    Form5->setDeviceReader([] { return SampleComputerScan(); });
    photograph(output, u"plain"_s);

    TsSkinManager* manager = Form1->sSkinManager1;
    manager->setSkinDirectory(skins);
    manager->setActive(true);
    manager->setSkinName(u"Shine"_s);
    if (!manager->skinLoaded()) {
        QTextStream(stderr) << "no skin Shine in " << skins << '\n';
        return 1;
    }
    photograph(output, u"shine"_s);
    DestroyWindowSet();
    return 0;
}
