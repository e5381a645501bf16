#pragma once

namespace quarrow {

// The busy cursor for work that runs on the window's thread. A handler marks
// its work with a BusyScope; whatever runs long inside it (the data layer
// after about 100 ms of one statement) calls ShowBusyCursor, and the cursor
// comes back when the outermost scope ends. Short work never shows it.
class BusyScope {
public:
    BusyScope();
    ~BusyScope();
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;
};

// Shows the busy cursor until the running BusyScope ends; does nothing
// outside one.
void ShowBusyCursor();

}  // namespace quarrow
