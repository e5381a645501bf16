#include "TForm3.h"

#include "VendorPages.h"
#include "forms/AccessibleWindow.h"
#include "forms/EventBoundary.h"
#include "shell/Endpoints.h"
#include "shell/OpenInShell.h"

#include <QMouseEvent>

using namespace quarrow;

TForm3* Form3 = nullptr;

namespace {
const QPoint kDeclaredPosition(444, 224);
}

TForm3::TForm3(QWidget* parent) : DeferredWindow(parent) {
    DeclareAccessibleWindow(this);
    setObjectName(QStringLiteral("Form3"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(561, 440);
    move(kDeclaredPosition);
}

void TForm3::buildContents() {
    setupUi(this);
    Label2->setText(HomeHost().toLower());
    declareLook();
    connectHandlers();
}

void TForm3::declareLook() {
    QPalette label = Label2->palette();
    label.setColor(QPalette::WindowText, Qt::black);
    label.setColor(QPalette::Window, palette().color(QPalette::Base));
    Label2->setPalette(label);
    Label2->setAutoFillBackground(true);

    sPanel2->setFrameShape(QFrame::Panel);
    sPanel2->setFrameShadow(QFrame::Raised);
    sPanel2->setAutoFillBackground(true);
}

void TForm3::connectHandlers() {
    const std::pair<QPushButton*, void (TForm3::*)()> handlers[] = {
        {sButton1, &TForm3::sButton1Click},   {sButton2, &TForm3::sButton2Click},
        {sButton3, &TForm3::sButton3Click},   {sButton4, &TForm3::sButton4Click},
        {sButton5, &TForm3::sButton5Click},   {sButton6, &TForm3::sButton6Click},
        {sButton7, &TForm3::sButton7Click},   {sButton8, &TForm3::sButton8Click},
        {sButton9, &TForm3::sButton9Click},   {sButton10, &TForm3::sButton10Click},
        {sButton11, &TForm3::sButton11Click}, {sButton12, &TForm3::sButton12Click},
        {sButton13, &TForm3::sButton13Click}, {sButton14, &TForm3::sButton14Click},
        {sButton15, &TForm3::sButton15Click}, {sButton16, &TForm3::sButton16Click},
        {sButton17, &TForm3::sButton17Click}, {sButton18, &TForm3::sButton18Click},
        {sButton19, &TForm3::sButton19Click}, {sButton20, &TForm3::sButton20Click},
        {sButton21, &TForm3::sButton21Click}, {sButton22, &TForm3::sButton22Click},
        {sButton23, &TForm3::sButton23Click}, {sButton24, &TForm3::sButton24Click},
        {sButton25, &TForm3::sButton25Click}, {sButton26, &TForm3::sButton26Click},
    };
    for (const auto& [button, handler] : handlers) {
        connect(button, &QPushButton::clicked, this,
                [this, handler = handler] { guarded([&] { (this->*handler)(); }); });
    }
    Label2->installEventFilter(this);
}

bool TForm3::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Label2 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        guarded([this] { Label2Click(); });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TForm3::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous()) return;
    // Every showing opens at the declared place, with the focus on the first
    // vendor button the first time and on the last focused one afterwards.
    move(kDeclaredPosition);
    (lastFocus_ ? lastFocus_.data() : sButton1)->setFocus();
}

void TForm3::hideEvent(QHideEvent* event) {
    if (!event->spontaneous()) {
        QWidget* focused = focusWidget();
        if (focused != nullptr && isAncestorOf(focused)) lastFocus_ = focused;
    }
    QWidget::hideEvent(event);
}

void TForm3::Label2Click() { OpenInShell(HomePageUrl()); }

void TForm3::sButton1Click() { OpenInShell(VendorSupportUrl(u"sButton1")); }
void TForm3::sButton2Click() { OpenInShell(VendorSupportUrl(u"sButton2")); }
void TForm3::sButton3Click() { OpenInShell(VendorSupportUrl(u"sButton3")); }
void TForm3::sButton4Click() { OpenInShell(VendorSupportUrl(u"sButton4")); }
void TForm3::sButton5Click() { OpenInShell(VendorSupportUrl(u"sButton5")); }
void TForm3::sButton6Click() { OpenInShell(VendorSupportUrl(u"sButton6")); }
void TForm3::sButton7Click() { OpenInShell(VendorSupportUrl(u"sButton7")); }
void TForm3::sButton8Click() { OpenInShell(VendorSupportUrl(u"sButton8")); }
void TForm3::sButton9Click() { OpenInShell(VendorSupportUrl(u"sButton9")); }
void TForm3::sButton10Click() { OpenInShell(VendorSupportUrl(u"sButton10")); }
void TForm3::sButton11Click() { OpenInShell(VendorSupportUrl(u"sButton11")); }
void TForm3::sButton12Click() { OpenInShell(VendorSupportUrl(u"sButton12")); }
void TForm3::sButton13Click() { OpenInShell(VendorSupportUrl(u"sButton13")); }
void TForm3::sButton14Click() { OpenInShell(VendorSupportUrl(u"sButton14")); }
void TForm3::sButton15Click() { OpenInShell(VendorSupportUrl(u"sButton15")); }
void TForm3::sButton16Click() { OpenInShell(VendorSupportUrl(u"sButton16")); }
void TForm3::sButton17Click() { OpenInShell(VendorSupportUrl(u"sButton17")); }
void TForm3::sButton18Click() { OpenInShell(VendorSupportUrl(u"sButton18")); }
void TForm3::sButton19Click() { OpenInShell(VendorSupportUrl(u"sButton19")); }
void TForm3::sButton20Click() { OpenInShell(VendorSupportUrl(u"sButton20")); }
void TForm3::sButton21Click() { OpenInShell(VendorSupportUrl(u"sButton21")); }
void TForm3::sButton22Click() { OpenInShell(VendorSupportUrl(u"sButton22")); }
void TForm3::sButton23Click() { OpenInShell(VendorSupportUrl(u"sButton23")); }
void TForm3::sButton24Click() { OpenInShell(VendorSupportUrl(u"sButton24")); }
void TForm3::sButton25Click() { OpenInShell(VendorSupportUrl(u"sButton25")); }
void TForm3::sButton26Click() { OpenInShell(VendorSupportUrl(u"sButton26")); }
