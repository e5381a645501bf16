#pragma once

class QWidget;

namespace quarrow {

// Shows a window modally and returns when it has been closed (hidden). The
// window itself is kept, with its state, for the next showing.
void ShowModal(QWidget* window);

// Shows `window` modally over `current`, the window whose handler asks for
// it. When `window` is shown already, under `current`, closing `current`
// uncovers it instead, so that no window is ever shown modally twice.
void ShowOrUncover(QWidget* window, QWidget* current);

}  // namespace quarrow
