#pragma once

#include <QByteArray>
#include <QMap>
#include <QMetaType>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <memory>

namespace quarrow::test {

// What can be wrong with a catalogue file when a window reaches for it.
enum class Damage {
    ZeroLength,
    RandomBytes,
    TruncatedCopy,     // the first half of a good catalogue
    OtherProgramFile,  // a sound database of another program: no catalogue table
    Folder,            // a folder with the catalogue's name
    Unreadable,        // no read permission; on Windows, held by a program that shares it with none
    ReadOnly,          // readable, refuses writes
    LockedByWriter,    // another process holds the engine's exclusive write lock
};

// Puts the damaged file (or folder) at `path` in place of whatever is there;
// `good` is a sound catalogue's content, from which the damage is made. The
// kinds of damage that concern access rather than content get `good` as it is.
// Returns why the damage cannot be made here, or nothing.
QString WriteDamaged(Damage damage, const QString& path, const QByteArray& good);

// Overwrites the file at `path` in place with the damaged content, as
// another program writing over a catalogue does, so that a connection still
// open on it meets the damage. For the damages of content only.
void WriteDamagedInPlace(Damage damage, const QString& path, const QByteArray& good);

// Puts the good catalogue back at `path`. A file is overwritten in place, as
// copying a file over another does, so that a connection still open on it
// sees the new content.
void Repair(const QString& path, const QByteArray& good);

// Every entry of a folder with the SHA-256 of its content ("folder" for a
// folder): equal before and after means nothing was changed, added or left
// behind (no journal, no write-ahead log).
QMap<QString, QString> Fingerprint(const QString& folder);

// Whether a write-refusing file can be made here that binds this process
// too: a file without write permission does not bind root, the immutable
// flag does where the file system and the process's capabilities allow it.
bool CanMakeReadOnlyHere(const QString& folder);

// Whether this damage can be made to bind this process; when not (root reads
// and writes what permissions forbid), the test runs in a child process that
// has given up root.
bool NeedsUnprivilegedChild(Damage damage, const QString& folder);

// Why this damage cannot be made to bind this process here, neither by
// itself nor in such a child process; empty when it can.
QString WhyDamageCannotBindHere(Damage damage, const QString& folder);

// Runs the current test function with the current data row again in a child
// process that runs as the user "nobody", and reports its verdict as this
// row's: passed, failed (with the child's output) or skipped when the child
// cannot be started that way.
void RunCurrentRowUnprivileged();

// Holds a file from another process until released: with the engine's
// exclusive write lock, as a program in the middle of a write does, or (on
// Windows) open without sharing it with anyone.
class WriteLockHolder {
public:
    enum class Hold { WriteLock, ShareNothing };
    explicit WriteLockHolder(const QString& file, Hold hold = Hold::WriteLock);
    ~WriteLockHolder();
    WriteLockHolder(const WriteLockHolder&) = delete;
    WriteLockHolder& operator=(const WriteLockHolder&) = delete;
    // Empty when the lock is held; else what went wrong.
    const QString& error() const { return error_; }
    // Whether it could not be held because another program has the file
    // open (Windows shares nothing out of a file that is in use).
    bool inUse() const { return inUse_; }

private:
    QProcess process_;
    QString error_;
    bool inUse_ = false;
};

// The access side of a damage (no read permission, read-only, locked by a
// writer), imposed on construction and lifted on destruction or by lift(),
// so that the file can be compared and repaired; impose() puts it back.
class AccessDamage {
public:
    AccessDamage(Damage damage, const QString& path);
    ~AccessDamage();
    AccessDamage(const AccessDamage&) = delete;
    AccessDamage& operator=(const AccessDamage&) = delete;
    void impose();
    void lift();
    // Empty when the damage is in force; else why it could not be made.
    const QString& error() const { return error_; }
    // Empty, or why this damage cannot be made here at all (the error is
    // then this too).
    const QString& impossible() const { return impossible_; }

private:
    Damage damage_;
    QString path_;
    bool imposed_ = false;
    bool immutable_ = false;
    std::unique_ptr<WriteLockHolder> lock_;
    QString error_;
    QString impossible_;
};

// Answers every dialog that appears while it lives by clicking its OK button,
// as a user would, and keeps what each one showed as "kind|caption|text"
// ("AppMessageBox" for the error box, "TMessageForm" for message dialogs).
class AnswerEveryDialogWithOk : public QObject {
public:
    AnswerEveryDialogWithOk();
    ~AnswerEveryDialogWithOk() override;
    // What appeared since the last call.
    QStringList take();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QStringList seen_;
};

QString ErrorBox(const QString& text);
QString DeleteConfirmation();

// The window set's steps that the catalogue suites take again and again:
// a search in the main window, the names its grid shows, and a showing of
// the About window closed with its OK (returns the version it showed).
void SearchMainWindow(const QString& text);
QStringList MainWindowNames();
QString ShowAboutWindow();

}  // namespace quarrow::test

Q_DECLARE_METATYPE(quarrow::test::Damage)
