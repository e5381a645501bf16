#pragma once

class QWidget;

namespace quarrow {

// Shows a window modally and returns when it has been closed (hidden). The
// window itself is kept, with its state, for the next showing.
void ShowModal(QWidget* window);

}  // namespace quarrow
