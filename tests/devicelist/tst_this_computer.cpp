#include "DeviceCatalogueBuild.h"
#include "ModalWindow.h"
#include "TestSupport.h"
#include "devices/DeviceListModel.h"
#include "devices/TForm5.h"
#include "forms/ShowModal.h"
#include "hardware/HardwareDevice.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QtTest>

using namespace quarrow;
using namespace quarrow::test;

namespace {

#if defined(Q_OS_WIN)

// "<ID>|<driver>" per PCI device that Windows keeps in its registry of
// device instances (Enum\PCI): the code of the instance's key and the
// service that drives it. Windows keeps there devices that were once
// present, too.
QStringList describedByWindowsRegistry() {
    QStringList described;
    QSettings pci(QStringLiteral("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\PCI"),
                  QSettings::NativeFormat);
    static const QRegularExpression code(
        QStringLiteral(
            "^VEN_([0-9A-F]{4})&DEV_([0-9A-F]{4})(?:&SUBSYS_([0-9A-F]{4})([0-9A-F]{4}))?"),
        QRegularExpression::CaseInsensitiveOption);
    for (const QString& key : pci.childGroups()) {
        const QRegularExpressionMatch match = code.match(key);
        if (!match.hasMatch()) continue;
        HardwareDevice device;
        device.vendor = quint16(match.captured(1).toUInt(nullptr, 16));
        device.device = quint16(match.captured(2).toUInt(nullptr, 16));
        device.subdevice = quint16(match.captured(3).toUInt(nullptr, 16));
        device.subvendor = quint16(match.captured(4).toUInt(nullptr, 16));
        pci.beginGroup(key);
        for (const QString& instance : pci.childGroups()) {
            const QString service = pci.value(instance + QStringLiteral("/Service")).toString();
            described.append(device.hardwareId() + u'|' +
                             (service.isEmpty() ? NoDriverText() : service));
        }
        pci.endGroup();
    }
    return described;
}

#else

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

#endif

}  // namespace

class ThisComputerTest : public QObject {
    Q_OBJECT

private slots:
    void pciDevicesAreThoseLspciLists();

private:
    // The PCI rows ("<ID>|<driver>") as the device list shows this computer;
    // every row must have a name.
    void listPciDevices(QStringList* listed);
};

// The window reads the machine's own devices and is compared, device for
// device, with what the system reports by other means: lspci (pciutils) on
// Linux, the registry of device instances on Windows.
void ThisComputerTest::pciDevicesAreThoseLspciLists() {
#if defined(Q_OS_WIN)
    const QStringList recorded = describedByWindowsRegistry();
    QStringList listed;
    listPciDevices(&listed);
    if (QTest::currentTestFailed()) return;
    // Under Wine every recorded device is present; on Windows some may be
    // gone, so each listed device must be among those recorded.
    QVERIFY(!listed.isEmpty() || recorded.isEmpty());
    for (const QString& device : listed) QVERIFY2(recorded.contains(device), qPrintable(device));
#else
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
    QStringList listed;
    listPciDevices(&listed);
    if (QTest::currentTestFailed()) return;
    QCOMPARE(listed, expected);
#endif
}

void ThisComputerTest::listPciDevices(QStringList* listed) {
    // The device catalogue as the program ships it, from this machine's
    // pci.ids and usb.ids.
    TemporaryCurrentFolder folder;
    BuildDeviceCatalogue(folder.filePath(QStringLiteral("dev.mdb")), QStringLiteral("kavrel"),
                         DefaultPciIdsPath(), DefaultUsbIdsPath());
    Form5 = new TForm5;
    ShownDialogs dialogs(true);
    WhenShownModally(Form5, [] { Form5->close(); });
    ShowModal(Form5);
    const QList<DeviceListRow> rows = Form5->Grid1Model->rows();
    qInfo("%s", qPrintable(Form5->sLabel3->text()));
    delete Form5;
    Form5 = nullptr;
    QVERIFY(dialogs.dialogs.isEmpty());
    for (const DeviceListRow& row : rows) {
        qInfo("%s | %s | %s", qPrintable(row.id), qPrintable(row.name), qPrintable(row.driver));
        QVERIFY2(!row.name.isEmpty(), qPrintable(row.id));
        if (row.id.startsWith(QStringLiteral("PCI\\"))) listed->append(row.id + u'|' + row.driver);
    }
}

QUARROW_TEST_MAIN(ThisComputerTest)
#include "tst_this_computer.moc"
