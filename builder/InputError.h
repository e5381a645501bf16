#pragma once

#include "core/Exception.h"

namespace quarrow {

// Input the catalogue builder cannot use: malformed rows, a bad header, an
// unreadable source or a catalogue that refuses to open. The tool reports it
// and exits with code 2, leaving no output file behind.
class InputError : public Exception {
public:
    explicit InputError(QString message) : Exception(std::move(message), "InputError") {}
};

}  // namespace quarrow
