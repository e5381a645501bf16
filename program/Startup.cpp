#include "Startup.h"

#include "about/TForm2.h"
#include "catalogue/TForm1.h"
#include "devices/TForm4.h"
#include "dialogs/Dialogs.h"
#include "vendors/TForm3.h"

#include <QApplication>

namespace quarrow {

void CreateWindowSet() {
    Form1 = new TForm1;
    CentreOnScreen(Form1);
    Form1->show();
    Form2 = new TForm2;
    Form3 = new TForm3;
    Form4 = new TForm4;
    Form1->setShownWindows({Form2, Form3, Form4});
}

void DestroyWindowSet() {
    delete Form4;
    Form4 = nullptr;
    delete Form3;
    Form3 = nullptr;
    delete Form2;
    Form2 = nullptr;
    delete Form1;
    Form1 = nullptr;
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
