#pragma once

#include <QWidget>

namespace quarrow {

// A top-level window whose controls are made when it is first shown, not
// when the window object is made: start-up creates every window but shows
// only the main one, and making the others' controls would delay it.
// The window object itself (its name, size, flags and place) exists from
// the start. Code that reaches the controls of a window that has never been
// shown calls makeContents() first; showing the window calls it too.
class DeferredWindow : public QWidget {
    Q_OBJECT
public:
    // Makes the controls now, once; later calls do nothing.
    void makeContents();

    void setVisible(bool visible) override;

protected:
    explicit DeferredWindow(QWidget* parent = nullptr);
    // Makes the window's controls and data components.
    virtual void buildContents() = 0;

private:
    bool hasContents_ = false;
};

}  // namespace quarrow
