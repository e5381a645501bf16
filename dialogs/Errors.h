#pragma once

#include "core/Exception.h"

namespace quarrow {

// Shows an error caught at an event boundary: nothing for the silent abort,
// the error box for anything else.
void HandleError(const std::exception& error);
void HandleUnknownError();

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
