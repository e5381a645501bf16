#pragma once

#include "forms/DeferredWindow.h"
#include "ui_TForm3.h"

#include <QPointer>

// The manufacturer links window: one button per hardware vendor, each
// opening that vendor's driver page in the desktop's browser. Its buttons
// are made when it is first shown (see DeferredWindow).
class TForm3 : public quarrow::DeferredWindow, public Ui::TForm3 {
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);

    void Label2Click();
    void sButton1Click();
    void sButton2Click();
    void sButton3Click();
    void sButton4Click();
    void sButton5Click();
    void sButton6Click();
    void sButton7Click();
    void sButton8Click();
    void sButton9Click();
    void sButton10Click();
    void sButton11Click();
    void sButton12Click();
    void sButton13Click();
    void sButton14Click();
    void sButton15Click();
    void sButton16Click();
    void sButton17Click();
    void sButton18Click();
    void sButton19Click();
    void sButton20Click();
    void sButton21Click();
    void sButton22Click();
    void sButton23Click();
    void sButton24Click();
    void sButton25Click();
    void sButton26Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void buildContents() override;

private:
    void declareLook();
    void connectHandlers();

    // The button that had the keyboard focus when the window was last closed.
    QPointer<QWidget> lastFocus_;
};

extern TForm3* Form3;
