#pragma once

#include "core/Exception.h"

namespace quarrow {

// Shows an error caught at an event boundary: nothing for the silent abort,
// the error box for anything else.
void HandleError(const std::exception& error);
void HandleUnknownError();

}  // namespace quarrow
