#pragma once

#include "hardware/HardwareDevice.h"
#include "ui_TForm5.h"

#include <QWidget>
#include <functional>

class QKeyEvent;

namespace quarrow {
class Connection;
class Query;
class DeviceListModel;
struct DeviceListRow;
}  // namespace quarrow

// This computer's devices: every PCI and USB device present, named from the
// device catalogue, with the driver bound to it; those without a driver
// come first. A device leads to its rows in the unknown-device window and
// to its drivers in the main window. The list is read afresh every time the
// window is shown.
class TForm5 : public QWidget, public Ui::TForm5 {
    Q_OBJECT
public:
    explicit TForm5(QWidget* parent = nullptr);

    // The connection that names the devices: read only, opened by the first
    // showing.
    quarrow::Connection* ADOConnection1;
    quarrow::Query* ADOQuery1;
    quarrow::DeviceListModel* Grid1Model;

    // What the list's actions do in the other windows; start-up hands them in.
    struct Actions {
        // Runs the unknown-device window's search for "VEN_xxxx&DEV_xxxx" or
        // "VID_xxxx&PID_xxxx" and shows that window.
        std::function<void(const QString& code)> searchDeviceCode;
        // Runs the main window's search for a device's name and shows its result.
        std::function<void(const QString& name)> searchDrivers;
    };
    void setActions(Actions actions) { actions_ = std::move(actions); }
    // Where the devices come from: this computer unless a test says otherwise.
    void setDeviceReader(std::function<quarrow::HardwareScan()> reader) {
        readDevices_ = std::move(reader);
    }

    void FormShow();
    void Grid1DblClick();
    // Enter looks the current device up; Ctrl+C copies its ID. Returns
    // whether the key was taken.
    bool Grid1KeyDown(const QKeyEvent& key);
    void Button1Click();
    void Label1Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void declareLook();
    void declareGrid();
    void attachGrid();
    void connectHandlers();
    void showDevices(const quarrow::HardwareScan& scan,
                     const QHash<QString, QString>* catalogueTexts);
    void followCurrentRow();
    const quarrow::DeviceListRow* currentDevice() const;

    Actions actions_;
    std::function<quarrow::HardwareScan()> readDevices_;
};

extern TForm5* Form5;
