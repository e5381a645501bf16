#pragma once

class QWidget;

namespace quarrow {

// Presents `window` to screen readers as a window, named by its title, whose
// children are the controls it shows: the controls it keeps hidden for good
// (the field boxes that only carry the current row's values) are left out of
// its accessible tree. Call it first in the window's constructor, before
// anything can have asked for the window's accessible interface.
void DeclareAccessibleWindow(QWidget* window);

}  // namespace quarrow
