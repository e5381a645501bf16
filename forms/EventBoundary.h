#pragma once

#include "dialogs/Errors.h"

namespace quarrow {

// Runs a handler at an event boundary: whatever it throws is shown by
// HandleError and goes no further, so no exception ever crosses Qt's frames.
template <typename Handler>
void guarded(Handler&& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        HandleError(error);
    } catch (...) {
        HandleUnknownError();
    }
}

}  // namespace quarrow
