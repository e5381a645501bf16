#pragma once

namespace quarrow {

// What the program's connections let the engine handle: they lower the
// engine's own limits to these, so that a file from outside cannot make it
// build huge values, statements or tables. A catalogue beyond them cannot be
// read by the program, so the builder refuses to write one.
//
// The longest value or table row, in bytes.
constexpr int kMaxValueBytes = 100'000'000;
// The longest statement, in bytes; a table's definition is one too.
constexpr int kMaxStatementBytes = 100'000;
// The most columns of a table or a result.
constexpr int kMaxColumns = 500;

}  // namespace quarrow
