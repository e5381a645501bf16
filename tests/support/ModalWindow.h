#pragma once

#include <QWidget>
#include <functional>

namespace quarrow::test {

// Runs `action` from inside the modal showing of `window`, once the window is
// on screen and is the active modal window (that is, after any box that its
// show handler raised has been answered). The action must end the showing,
// for example by clicking the window's OK. Should the window never come up,
// a warning is printed and the window is hidden so that no test hangs.
void WhenShownModally(QWidget* window, std::function<void()> action);

}  // namespace quarrow::test
