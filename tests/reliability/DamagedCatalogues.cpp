#include "DamagedCatalogues.h"

#include "ModalWindow.h"
#include "TestSupport.h"
#include "about/TForm2.h"
#include "mainwindow/TForm1.h"

#include <sqlite3.h>
#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QApplication>
#include <QCryptographicHash>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTest>

#if defined(Q_OS_WIN)
#include <QThread>
#else
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef __linux__
#include <linux/fs.h>
#include <sys/ioctl.h>
#endif

namespace quarrow::test {

namespace {

bool writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(content) == content.size();
}

void removeEntry(const QString& path) {
    const QFileInfo entry(path);
    if (entry.isDir() && !entry.isSymLink()) {
        QDir(path).removeRecursively();
    } else {
        QFile::remove(path);
    }
}

// A small database as some other program keeps one: sound, with no table a
// catalogue needs.
QByteArray otherProgramDatabase(const QString& scratch) {
    QFile::remove(scratch);
    sqlite3* db = nullptr;
    sqlite3_open_v2(scratch.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                    nullptr);
    sqlite3_exec(db,
                 "CREATE TABLE notes(id INTEGER PRIMARY KEY, text TEXT);"
                 "INSERT INTO notes(text) VALUES ('buy milk'), ('call back');",
                 nullptr, nullptr, nullptr);
    sqlite3_close(db);
    QFile file(scratch);
    const QByteArray content = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    file.remove();
    return content;
}

QByteArray randomBytes() {
    QRandomGenerator random(20260101);
    QByteArray bytes(16384, Qt::Uninitialized);
    random.fillRange(reinterpret_cast<quint32*>(bytes.data()),
                     bytes.size() / qsizetype(sizeof(quint32)));
    return bytes;
}

bool setImmutable(const QString& path, bool on) {
#ifdef __linux__
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return done;
#else
    Q_UNUSED(path);
    Q_UNUSED(on);
    return false;
#endif
}

// The content of a file with this damage; `good` as it is for the damages
// that concern access or the kind of entry.
QByteArray damagedContent(Damage damage, const QString& path, const QByteArray& good) {
    switch (damage) {
        case Damage::ZeroLength:
            return {};
        case Damage::RandomBytes:
            return randomBytes();
        case Damage::TruncatedCopy:
            return good.left(good.size() / 2);
        case Damage::OtherProgramFile:
            return otherProgramDatabase(path + QStringLiteral(".other"));
        case Damage::Folder:
        case Damage::Unreadable:
        case Damage::ReadOnly:
        case Damage::LockedByWriter:
            break;
    }
    return good;
}

}  // namespace

QString WriteDamaged(Damage damage, const QString& path, const QByteArray& good) {
#if defined(Q_OS_WIN)
    // Windows removes no file that a program holds open: a file is written
    // over in place instead, as a copy over it does.
    if (damage == Damage::Folder || QFileInfo(path).isDir()) removeEntry(path);
    if (damage == Damage::Folder && QFileInfo::exists(path)) {
        return QStringLiteral(
            "Windows removes no file that a program holds open: a window holds the catalogue, "
            "so no folder can take its place.");
    }
#else
    removeEntry(path);
#endif
    if (damage == Damage::Folder) {
        QDir().mkpath(path);
        return {};
    }
    writeFile(path, damagedContent(damage, path, good));
    return {};
}

void WriteDamagedInPlace(Damage damage, const QString& path, const QByteArray& good) {
    writeFile(path, damagedContent(damage, path, good));
}

void Repair(const QString& path, const QByteArray& good) {
    if (QFileInfo(path).isDir()) removeEntry(path);
    writeFile(path, good);
}

QMap<QString, QString> Fingerprint(const QString& folder) {
    QMap<QString, QString> entries;
    const QDir dir(folder);
    for (const QFileInfo& entry :
         dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        if (entry.isDir()) {
            entries.insert(entry.fileName(), QStringLiteral("folder"));
            continue;
        }
        if (!entry.isFile()) {  // a pipe or a device: reading it could block
            entries.insert(entry.fileName(), QStringLiteral("special"));
            continue;
        }
        QFile file(entry.filePath());
        QCryptographicHash hash(QCryptographicHash::Sha256);
        if (file.open(QIODevice::ReadOnly) && hash.addData(&file)) {
            entries.insert(entry.fileName(), QString::fromLatin1(hash.result().toHex()));
        } else {
            entries.insert(entry.fileName(), QStringLiteral("unreadable"));
        }
    }
    return entries;
}

#if defined(Q_OS_WIN)

// The read-only attribute binds every account on Windows, but Wine run by
// the superuser writes through it.
bool CanMakeReadOnlyHere(const QString&) { return FilePermissionsBind(); }

bool NeedsUnprivilegedChild(Damage, const QString&) { return false; }

void RunCurrentRowUnprivileged() {
    QSKIP("Windows has no superuser to give up; the case ran as it is.");
}

QString WhyDamageCannotBindHere(Damage damage, const QString& folder) {
    if (damage == Damage::ReadOnly && !CanMakeReadOnlyHere(folder)) {
        return QStringLiteral(
            "The read-only attribute does not bind this process (Wine run by the superuser "
            "writes through it), so no read-only catalogue can be made here.");
    }
    return {};
}

#else

bool CanMakeReadOnlyHere(const QString& folder) {
    if (FilePermissionsBind()) return true;
    const QString probe = QDir(folder).filePath(QStringLiteral("immutable-probe"));
    writeFile(probe, QByteArrayLiteral("probe"));
    const bool can = setImmutable(probe, true);
    if (can) setImmutable(probe, false);
    QFile::remove(probe);
    return can;
}

bool NeedsUnprivilegedChild(Damage damage, const QString& folder) {
    if (FilePermissionsBind()) return false;
    return damage == Damage::Unreadable ||
           (damage == Damage::ReadOnly && !CanMakeReadOnlyHere(folder));
}

void RunCurrentRowUnprivileged() {
    const passwd* nobody = ::getpwnam("nobody");
    if (nobody == nullptr) {
        QSKIP("Running as root and there is no user \"nobody\" to run this case as.");
    }
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    QProcess child;
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.setWorkingDirectory(QDir::rootPath());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), QDir::tempPath());
    environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    child.setProcessEnvironment(environment);
    child.setChildProcessModifier([uid, gid] {
        // The exit code tells the parent that root could not be given up.
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0) _exit(77);
    });
    const QString row =
        QStringLiteral("%1:%2").arg(QString::fromLatin1(QTest::currentTestFunction()),
                                    QString::fromUtf8(QTest::currentDataTag()));
    child.start(QCoreApplication::applicationFilePath(), {row});
    if (!child.waitForStarted()) {
        QSKIP(qPrintable(QStringLiteral("Running as root; this case needs a process that is not "
                                        "root, and none could be started: %1")
                             .arg(child.errorString())));
    }
    if (!child.waitForFinished(300000)) {
        child.kill();
        child.waitForFinished();
        QFAIL(qPrintable(QStringLiteral("as the user \"nobody\", did not finish:\n") +
                         QString::fromLocal8Bit(child.readAll())));
    }
    const QString output = QString::fromLocal8Bit(child.readAll());
    if (child.exitStatus() == QProcess::NormalExit && child.exitCode() == 77) {
        QSKIP(
            "Running as root; this case needs a process that is not root, and root could not "
            "be given up.");
    }
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
             qPrintable(QStringLiteral("as the user \"nobody\":\n") + output));
    if (output.contains(QStringLiteral("SKIP   :"))) QSKIP(qPrintable(output));
    qInfo("ran as the user \"nobody\", since root reads and writes what permissions forbid");
}

QString WhyDamageCannotBindHere(Damage, const QString&) {
    // What permissions cannot forbid root is tried as the user "nobody"
    // (NeedsUnprivilegedChild).
    return {};
}

#endif

WriteLockHolder::WriteLockHolder(const QString& file, Hold hold) {
    process_.start(
        QStringLiteral(RELIABILITY_HELPER),
        {hold == Hold::WriteLock ? QStringLiteral("lock") : QStringLiteral("deny"), file});
    QByteArray output;
    while (!output.contains('\n') && process_.waitForReadyRead(30000)) {
        output += process_.readAllStandardOutput();
    }
    // Windows ends the helper's lines with CR LF.
    inUse_ = output.trimmed() == "in use";
    if (output.trimmed() != "locked" && output.trimmed() != "held") {
        error_ = QStringLiteral("the lock holder says: ") + QString::fromUtf8(output) +
                 QString::fromUtf8(process_.readAllStandardError());
    }
}

WriteLockHolder::~WriteLockHolder() {
    process_.closeWriteChannel();
    if (!process_.waitForFinished(30000)) process_.kill();
}

AccessDamage::AccessDamage(Damage damage, const QString& path) : damage_(damage), path_(path) {
    impose();
}

AccessDamage::~AccessDamage() { lift(); }

void AccessDamage::impose() {
    if (imposed_) return;
    switch (damage_) {
        case Damage::Unreadable:
#if defined(Q_OS_WIN)
            // What keeps a Windows program from reading a file: another
            // holding it open without sharing it.
            lock_ = std::make_unique<WriteLockHolder>(path_, WriteLockHolder::Hold::ShareNothing);
            error_ = lock_->error();
            if (lock_->inUse()) {
                impossible_ = error_ = QStringLiteral(
                    "Windows shares nothing out of a file that another program has open: a "
                    "window holds the catalogue, so it cannot be made unreadable for another.");
            }
#else
            if (!QFile::setPermissions(path_, {})) error_ = QStringLiteral("chmod failed");
#endif
            break;
        case Damage::ReadOnly:
            if (!FilePermissionsBind()) {
                immutable_ = setImmutable(path_, true);
                if (!immutable_) error_ = QStringLiteral("cannot set the immutable flag");
            } else if (!QFile::setPermissions(path_, QFile::ReadOwner | QFile::ReadUser |
                                                         QFile::ReadGroup | QFile::ReadOther)) {
                error_ = QStringLiteral("chmod failed");
            }
            break;
        case Damage::LockedByWriter:
            lock_ = std::make_unique<WriteLockHolder>(path_);
            error_ = lock_->error();
            break;
        default:
            break;
    }
    imposed_ = true;
}

void AccessDamage::lift() {
    if (!imposed_) return;
    if (immutable_) setImmutable(path_, false);
    immutable_ = false;
    if (damage_ == Damage::Unreadable || damage_ == Damage::ReadOnly) {
        QFile::setPermissions(path_, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser |
                                         QFile::WriteUser | QFile::ReadGroup | QFile::ReadOther);
    }
    lock_.reset();
    imposed_ = false;
}

AnswerEveryDialogWithOk::AnswerEveryDialogWithOk() { qApp->installEventFilter(this); }

AnswerEveryDialogWithOk::~AnswerEveryDialogWithOk() { qApp->removeEventFilter(this); }

QStringList AnswerEveryDialogWithOk::take() { return std::exchange(seen_, {}); }

bool AnswerEveryDialogWithOk::eventFilter(QObject* watched, QEvent* event) {
    auto* dialog = qobject_cast<QDialog*>(watched);
    if (event->type() != QEvent::Show || dialog == nullptr || !dialog->isWindow()) return false;
    const SeenDialog seen = Describe(dialog);
    seen_.append(seen.objectName + u'|' + seen.title + u'|' + seen.text);
    // Clicked once the dialog runs its own loop, as the user would.
    QMetaObject::invokeMethod(
        dialog,
        [guard = QPointer<QDialog>(dialog)] {
            if (!guard) return;
            for (QAbstractButton* button : guard->findChildren<QAbstractButton*>()) {
                if (button->text() == u"OK" && button->isVisible()) {
                    QTest::mouseClick(button, Qt::LeftButton);
                    return;
                }
            }
            guard->reject();
        },
        Qt::QueuedConnection);
    return false;
}

QString ErrorBox(const QString& text) { return QStringLiteral("AppMessageBox|Quarrow|") + text; }

QString DeleteConfirmation() { return QStringLiteral("TMessageForm|Confirm|Delete record?"); }

void SearchMainWindow(const QString& text) {
    Form1->Edit1->setText(text);
    QTest::mouseClick(Form1->Button2, Qt::LeftButton);
}

QStringList MainWindowNames() {
    QStringList names;
    const QAbstractItemModel* model = Form1->DBGrid1->model();
    for (int r = 0; r < model->rowCount(); ++r) names.append(model->index(r, 1).data().toString());
    return names;
}

QString ShowAboutWindow() {
    QString version;
    WhenShownModally(Form2, [&version] {
        version = Form2->DBEdit1->text();
        QTest::mouseClick(Form2->sButton1, Qt::LeftButton);
    });
    QTest::mouseClick(Form1->Button3, Qt::LeftButton);
    return version;
}

}  // namespace quarrow::test
