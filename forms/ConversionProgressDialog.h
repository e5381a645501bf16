#pragma once

#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <memory>

class QProgressDialog;
class QWidget;

namespace quarrow {

// The progress of a catalogue conversion that the window waits for. Nothing
// shows for the first half second, which most conversions take at most;
// after that a modal dialog (object name "ConversionProgress") shows the
// rows done and a Cancel button, and the events of the dialog are handled
// at each update. The dialog goes with the object.
class ConversionProgressDialog {
public:
    explicit ConversionProgressDialog(QWidget* owner);
    ~ConversionProgressDialog();
    ConversionProgressDialog(const ConversionProgressDialog&) = delete;
    ConversionProgressDialog& operator=(const ConversionProgressDialog&) = delete;

    // Rows done of about `rowsInAll` (0 while unknown) in converting `file`.
    // Returns false once the user has cancelled.
    bool update(const QString& file, qint64 rowsDone, qint64 rowsInAll);
    // update() as a function for the conversion to call.
    std::function<bool(const QString&, qint64, qint64)> reporter() {
        return [this](const QString& file, qint64 rowsDone, qint64 rowsInAll) {
            return update(file, rowsDone, rowsInAll);
        };
    }

    static constexpr int kQuietMs = 500;

private:
    QWidget* owner_;
    QElapsedTimer clock_;
    std::unique_ptr<QProgressDialog> dialog_;
};

}  // namespace quarrow
