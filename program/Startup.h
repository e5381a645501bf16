#pragma once

#include <QString>
#include <functional>

namespace quarrow {

// The first thing the process does: makes room on the heap for what start-up
// allocates, in huge pages where the system has them. Returns whether it did.
bool PrepareStartupHeap();

// Creates the windows once, in order, with the main window shown centred on
// the screen; the others stay hidden.
void CreateWindowSet();

// Runs Quarrow in an existing application object: creates the windows with
// `createWindows` and runs the message loop until the main window closes.
// Returns 0 after a normal end; 1 after the start-up error box, when an error
// escaped the creation of the windows.
int RunQuarrow(const std::function<void()>& createWindows = CreateWindowSet);

// Deletes the window set (the end of the process, or between tests).
void DestroyWindowSet();

// Shows `text` in the program's error box, in the skin Shine when it is
// there, without any window of the program; returns 0 once it is answered.
int ShowErrorBoxAlone(const QString& text);

}  // namespace quarrow
