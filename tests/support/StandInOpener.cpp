#include "StandInOpener.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#if defined(Q_OS_WIN)
#include <windows.h>
#endif

namespace quarrow::test {

namespace {

constexpr char kLogVariable[] = "QUARROW_STAND_IN_LOG";

#if defined(Q_OS_WIN)

const QStringList kSchemes{QStringLiteral("http"), QStringLiteral("ftp")};

QString commandKey(const QString& scheme) {
    return scheme + QStringLiteral("\\shell\\open\\command");
}

const wchar_t* wide(const QString& text) { return reinterpret_cast<const wchar_t*>(text.utf16()); }

// The default value of a key of the machine's classes, where Wine's shell
// looks (a per-user registration is not read there); a null string when
// there is none.
QString handler(const QString& scheme) {
    wchar_t value[4096];
    DWORD bytes = sizeof value;
    if (RegGetValueW(HKEY_CLASSES_ROOT, wide(commandKey(scheme)), nullptr, RRF_RT_REG_SZ, nullptr,
                     value, &bytes) != ERROR_SUCCESS) {
        return {};
    }
    return QString::fromWCharArray(value);
}

bool setHandler(const QString& scheme, const QString& command) {
    if (command.isNull()) {
        return RegDeleteKeyValueW(HKEY_CLASSES_ROOT, wide(commandKey(scheme)), nullptr) ==
               ERROR_SUCCESS;
    }
    return RegSetKeyValueW(HKEY_CLASSES_ROOT, wide(commandKey(scheme)), nullptr, REG_SZ,
                           wide(command),
                           DWORD((command.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

QString standInProgram() {
    // An absolute Windows path: the build gives it the Linux way, which
    // Windows reads on the current drive.
    return QDir::toNativeSeparators(QFileInfo(QStringLiteral(STAND_IN_OPENER)).absoluteFilePath());
}

#endif

}  // namespace

#if defined(Q_OS_WIN)

StandInOpener::StandInOpener() {
    qputenv(kLogVariable, QDir::toNativeSeparators(logPath()).toUtf8());
    const QString command = u'"' + standInProgram() + QStringLiteral("\" %1");
    for (const QString& scheme : kSchemes) {
        previousHandlers_.append(handler(scheme));
        if (!setHandler(scheme, command)) {
            unavailable_ = QStringLiteral(
                               "The stand-in browser cannot be registered for %1 addresses "
                               "(HKEY_CLASSES_ROOT needs an administrator outside Wine).")
                               .arg(scheme);
        }
    }
    QFile script(QDir::current().filePath(QStringLiteral("dz.cmd")));
    if (script.open(QIODevice::WriteOnly)) {
        script.write("@\"" + standInProgram().toLocal8Bit() + "\" dz.cmd\r\n");
    }
}

StandInOpener::~StandInOpener() {
    for (qsizetype k = 0; k < previousHandlers_.size(); ++k) {
        setHandler(kSchemes[k], previousHandlers_[k]);
    }
    qunsetenv(kLogVariable);
}

#else

// Appends each call to the log: the number of arguments, every argument and
// the folder, each ended by NUL, so that line breaks inside an argument
// survive.
StandInOpener::StandInOpener() : previousPath_(qgetenv("PATH")) {
    QFile script(dir_.filePath(QStringLiteral("xdg-open")));
    if (!script.open(QIODevice::WriteOnly)) {
        unavailable_ = QStringLiteral("cannot write the stand-in xdg-open");
        return;
    }
    script.write(
        "#!/bin/sh\n"
        "printf '%s\\000' \"$#\" \"$@\" \"$(pwd)\" >> \"$" +
        QByteArray(kLogVariable) + "\"\n");
    script.close();
    script.setPermissions(script.permissions() | QFile::ExeOwner);
    qputenv(kLogVariable, QFile::encodeName(logPath()));
    qputenv("PATH", QFile::encodeName(dir_.path()) + ':' + previousPath_);
}

StandInOpener::~StandInOpener() {
    qputenv("PATH", previousPath_);
    qunsetenv(kLogVariable);
}

#endif

QList<StandInOpener::Call> StandInOpener::calls() const {
    QFile file(logPath());
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QList<QByteArray> fields = file.readAll().split('\0');
    QList<Call> result;
    for (qsizetype i = 0; i + 1 < fields.size();) {
        const int count = fields[i++].toInt();
        Call call;
        for (int k = 0; k < count && i < fields.size(); ++k) {
            call.arguments.append(QString::fromUtf8(fields[i++]));
        }
        if (i < fields.size()) call.folder = QString::fromUtf8(fields[i++]);
        result.append(call);
    }
    return result;
}

}  // namespace quarrow::test
