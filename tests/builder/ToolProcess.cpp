#include "ToolProcess.h"

#include "TestSupport.h"

#include <QDir>
#include <QProcess>
#include <QTest>

namespace quarrow::test {

ToolRun RunCatalogueTool(const QStringList& arguments, const QString& folder,
                         const QByteArray& input) {
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(QDir(BuildDir()).filePath(QStringLiteral("quarrow-catalogue")), arguments);
    ToolRun run;
    if (!process.waitForStarted()) {
        qWarning("quarrow-catalogue did not start: %s", qPrintable(process.errorString()));
        return run;
    }
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(120000)) {
        qWarning("quarrow-catalogue did not finish");
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    // Messages are text: Windows ends their lines with CR LF.
    run.err = QString::fromUtf8(process.readAllStandardError())
                  .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return run;
}

QByteArray DriverHeaderLine() {
    return QStringLiteral("Наименование\tУстройство\tos\tРазмер\tВерсия\turl\tURLdr\tver\n")
        .toUtf8();
}

QStringList FilesStartingWith(const QString& folder, const QString& prefix) {
    return QDir(folder).entryList({prefix + u'*'}, QDir::Files);
}

}  // namespace quarrow::test
