#pragma once

namespace quarrow {

// The name of a file system layer for the engine, registered on first use,
// that reads a database file ahead in large pieces while its pages are read
// in file order, as a search scanning a whole table reads them. Each page
// read from the file is otherwise one system call, and a search through a
// million rows makes tens of thousands of them. Pages read out of order are
// read as before. What was read ahead is forgotten whenever the engine takes
// or gives up a lock, writes, or truncates the file, so it never outlives the
// read transaction that the file cannot change under. Files in write-ahead
// log mode are read page by page.
//
// The layer also refuses to open a journal or write-ahead log that exists
// and is not a regular file (a pipe would keep the engine waiting for ever,
// a link would have it write elsewhere), whenever the engine opens one.
const char* ReadAheadVfsName();
// The same layer without reading ahead: the engine's own reads, guarded.
const char* GuardedVfsName();

}  // namespace quarrow
