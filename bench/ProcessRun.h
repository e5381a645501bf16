#pragma once

#include <QByteArray>
#include <QStringList>

namespace quarrow::bench {

// Starts `command` (the program looked up on PATH, then its arguments) the
// way a shell does, without one, and waits for it to end. Its standard
// output is collected into `output` when given and thrown away otherwise.
// Returns the exit code; throws when the program cannot be started or dies
// from a signal.
int RunProgram(const QStringList& command, QByteArray* output = nullptr);

}  // namespace quarrow::bench
