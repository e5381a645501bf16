#pragma once

#include <QString>
#include <cstdint>

namespace quarrow {

// What tells one state of a catalogue file from another: which file the path
// leads to, its size and modification time, and the engine's change counter
// in its header. Any write by anyone, and any replacement of the file (copied
// over in place or moved in), changes at least one of them.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = -1;
    std::int64_t modifiedNs = 0;
    std::uint32_t changeCounter = 0;

    bool operator==(const FileIdentity& other) const;
    bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};

// The identity of the file at `path` now; size -1 when it cannot be read.
FileIdentity IdentityOf(const QString& path);

// Gives a closed database file a random change counter, different from the
// one it has, and makes it durable. A builder writes every catalogue with
// the same steps, so without this each would carry the same counter and a
// program could take a new catalogue for the old one it has cached.
void StampFreshChangeCounter(const QString& path);

// Throws EOleException unless `path` leads (after symbolic links) to a
// regular file: a pipe, device or socket would block or mislead the engine.
void RequireRegularFile(const QString& path);

// The path by which the engine knows the file at `path`: absolute, with
// symbolic links resolved as the engine resolves them. Its journal and logs
// lie beside that path.
QString EnginePathOf(const QString& path);

// Throws EOleException, naming the entry, when the engine's journal,
// write-ahead log or shared-memory index beside the file exists and is not a
// regular file: the engine would wait on a pipe, write through a link or
// fail on a folder.
void RequireOrdinaryCompanions(const QString& enginePath);

// A rollback journal beside the catalogue that no live writer holds and that
// provably belongs to another file would be rolled into this one and damage
// it. Such a journal is moved aside as "<file>-journal.stale-<time>".
// Returns what was done, for the user; empty when nothing was. A journal
// that may belong to the file is left to the engine, which rolls it back.
// For connections that may write: a reading one moves nothing.
QString SetAsideStaleJournal(const QString& enginePath);

// A journal the engine would roll into the file at the next reading, as a
// connection that only reads finds it: none, one that may belong to the
// file, or one that provably belongs to another file.
enum class HotJournal { None, OfThisFile, OfAnotherFile };
HotJournal HotJournalBeside(const QString& enginePath);

// Where the engine keeps the rollback journal of the file.
QString JournalPathOf(const QString& enginePath);

}  // namespace quarrow
