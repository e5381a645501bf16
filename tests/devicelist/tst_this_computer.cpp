#include "DeviceCatalogueBuild.h"
#include "ModalWindow.h"
#include "TestSupport.h"
#include "devices/DeviceListModel.h"
#include "devices/TForm5.h"
#include "dialogs/ShowModal.h"
#include "hardware/HardwareDevice.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

using namespace quarrow;
using namespace quarrow::test;

namespace {

// "<ID>|<driver>" per PCI device, as `lspci -D -n -vmm -k` describes them:
// records of "Key:\tvalue" lines, one record per device.
QStringList describedByLspci(const QByteArray& output) {
    QStringList described;
    const QList<QByteArray> lines = output.split('\n');
    QHash<QString, QString> fields;
    const auto finish = [&] {
        if (fields.contains(QStringLiteral("Slot"))) {
            const auto code = [&](const char* key) {
                return quint16(fields.value(QString::fromUtf8(key)).toUInt(nullptr, 16));
            };
            HardwareDevice device;
            device.vendor = code("Vendor");
            device.device = code("Device");
            device.subvendor = code("SVendor");
            device.subdevice = code("SDevice");
            described.append(device.hardwareId() + u'|' +
                             fields.value(QStringLiteral("Driver"), NoDriverText()));
        }
        fields.clear();
    };
    for (const QByteArray& line : lines) {
        if (line.trimmed().isEmpty()) {
            finish();
            continue;
        }
        const qsizetype colon = line.indexOf(':');
        if (colon > 0) {
            fields.insert(QString::fromUtf8(line.first(colon)),
                          QString::fromUtf8(line.sliced(colon + 1).trimmed()));
        }
    }
    finish();
    return described;
}

}  // namespace

class ThisComputerTest : public QObject {
    Q_OBJECT

private slots:
    void pciDevicesAreThoseLspciLists();
};

// The window reads the machine's own /sys and is compared, device for
// device, with what lspci (pciutils) reports.
void ThisComputerTest::pciDevicesAreThoseLspciLists() {
    if (!QDir(QStringLiteral("/sys/bus/pci/devices")).exists()) {
        QSKIP("this machine has no /sys/bus/pci: there are no PCI devices to compare");
    }
    const QString lspci = QStandardPaths::findExecutable(
        QStringLiteral("lspci"), {QStringLiteral("/usr/bin"), QStringLiteral("/usr/sbin"),
                                  QStringLiteral("/bin"), QStringLiteral("/sbin")});
    QVERIFY2(!lspci.isEmpty(), "lspci (Debian package pciutils) is installed by scripts/setup.sh");
    QProcess process;
    process.start(lspci, {QStringLiteral("-D"), QStringLiteral("-n"), QStringLiteral("-vmm"),
                          QStringLiteral("-k")});
    QVERIFY(process.waitForFinished());
    QCOMPARE(process.exitCode(), 0);
    QStringList expected = describedByLspci(process.readAllStandardOutput());
    QVERIFY(!expected.isEmpty());

    // Devices without a driver come first in the list, then bus order,
    // which is lspci's.
    std::stable_partition(expected.begin(), expected.end(),
                          [](const QString& device) { return device.endsWith(NoDriverText()); });

    // The device catalogue as the program ships it, from this machine's
    // pci.ids and usb.ids.
    TemporaryCurrentFolder folder;
    BuildDeviceCatalogue(folder.filePath(QStringLiteral("dev.mdb")), QStringLiteral("kavrel"),
                         DefaultPciIdsPath(), DefaultUsbIdsPath());
    Form5 = new TForm5;
    ShownDialogs dialogs(true);
    WhenShownModally(Form5, [] { Form5->close(); });
    ShowModal(Form5);
    QVERIFY(dialogs.dialogs.isEmpty());

    QStringList listed;
    for (const DeviceListRow& row : Form5->Grid1Model->rows()) {
        qInfo("%s | %s | %s", qPrintable(row.id), qPrintable(row.name), qPrintable(row.driver));
        QVERIFY2(!row.name.isEmpty(), qPrintable(row.id));
        if (row.id.startsWith(QStringLiteral("PCI\\"))) listed.append(row.id + u'|' + row.driver);
    }
    qInfo("%s", qPrintable(Form5->sLabel3->text()));
    delete Form5;
    Form5 = nullptr;
    QCOMPARE(listed, expected);
}

QUARROW_TEST_MAIN(ThisComputerTest)
#include "tst_this_computer.moc"
