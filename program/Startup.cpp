#include "Startup.h"

#include "about/TForm2.h"
#include "core/Exception.h"
#include "db/LargeBuffer.h"
#include "devices/TForm4.h"
#include "devices/TForm5.h"
#include "dialogs/Dialogs.h"
#include "forms/ShowModal.h"
#include "mainwindow/TForm1.h"
#include "skin/SkinManager.h"
#include "vendors/TForm3.h"

#include <QApplication>
#include <QDir>
#include <cstddef>

namespace quarrow {

namespace {

// A device chosen in the device list: the unknown-device window searches
// for its code, with its lookup ticks as they are, and shows the result.
void SearchDeviceCode(const QString& code) {
    // The list can be opened from the main window before the unknown-device
    // window was ever shown.
    Form4->makeContents();
    Form4->Edit1->setText(code);
    Form4->Button2->click();
    ShowOrUncover(Form4, Form5);
}

// "ДРАЙВЕРЫ" in the device list: the main window's own search for the
// device's name; the windows over the main window close so that its result
// shows.
void SearchDrivers(const QString& name) {
    Form5->close();
    Form4->close();
    Form1->Edit1->setText(name);
    Form1->Button2->click();
}

}  // namespace

bool PrepareStartupHeap() {
    // The application object, the main window, the skin's style sheet and
    // the fonts take some 2.5 MB of heap, touched for the first time. On a
    // virtual machine each first touch of a small page costs a trap of
    // about 10 us; with the heap in huge pages start-up takes some 750 page
    // faults fewer. 8 MB hold two or three aligned huge pages wherever the
    // heap begins.
    constexpr std::size_t kStartupHeap = std::size_t(8) << 20;
    return ReserveHeapInHugePages(kStartupHeap);
}

void CreateWindowSet() {
    Form1 = new TForm1;
    CentreOnScreen(Form1);
    Form1->show();
    Form2 = new TForm2;
    Form3 = new TForm3;
    Form4 = new TForm4;
    Form5 = new TForm5;
    Form1->setShownWindows({Form2, Form3, Form4, Form5});
    Form4->setDeviceListWindow(Form5);
    Form5->setActions({SearchDeviceCode, SearchDrivers});
}

void DestroyWindowSet() {
    delete Form5;
    Form5 = nullptr;
    delete Form4;
    Form4 = nullptr;
    delete Form3;
    Form3 = nullptr;
    delete Form2;
    Form2 = nullptr;
    delete Form1;
    Form1 = nullptr;
}

int ShowErrorBoxAlone(const QString& text) {
    SetApplicationTitle(QStringLiteral("Quarrow"));
    QApplication::setApplicationName(QStringLiteral("Quarrow"));
    TsSkinManager skin;
    try {
        skin.setSkinDirectory(QDir::toNativeSeparators(QCoreApplication::applicationDirPath()) +
                              QDir::separator());
        skin.setSkinName(QStringLiteral("Shine"));
    } catch (const Exception&) {
        // The plain look says the same.
    }
    AppMessageBox(text, ApplicationTitle(), MB_OK | MB_ICONSTOP);
    return 0;
}

int RunQuarrow(const std::function<void()>& createWindows) {
    SetApplicationTitle(QStringLiteral("Quarrow"));
    QApplication::setApplicationName(QStringLiteral("Quarrow"));
    try {
        createWindows();
    } catch (...) {
        ShowStartupErrorBox(std::current_exception());
        DestroyWindowSet();
        return 1;
    }
    QApplication::exec();
    DestroyWindowSet();
    return 0;
}

}  // namespace quarrow
