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

// A rollback journal beside the catalogue that no live writer holds and that
// belongs to an earlier file, not to this one (the file was replaced after
// the journal was written, or the journal's record of the file does not fit
// it), would be rolled into the new file and damage it. Such a journal is
// moved aside as "<file>-journal.stale-<time>". Returns what was done, for
// the user; empty when nothing was.
QString SetAsideStaleJournal(const QString& path);

}  // namespace quarrow
