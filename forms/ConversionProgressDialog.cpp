#include "ConversionProgressDialog.h"

#include "dialogs/Dialogs.h"

#include <QCoreApplication>
#include <QProgressDialog>

namespace quarrow {

ConversionProgressDialog::ConversionProgressDialog(QWidget* owner) : owner_(owner) {
    clock_.start();
}

ConversionProgressDialog::~ConversionProgressDialog() = default;

bool ConversionProgressDialog::update(const QString& file, qint64 rowsDone, qint64 rowsInAll) {
    if (dialog_ == nullptr) {
        if (clock_.elapsed() < kQuietMs) return true;
        dialog_ = std::make_unique<QProgressDialog>(owner_);
        dialog_->setObjectName(QStringLiteral("ConversionProgress"));
        dialog_->setWindowTitle(ApplicationTitle());
        dialog_->setWindowModality(Qt::ApplicationModal);
        dialog_->setAutoClose(false);
        dialog_->setAutoReset(false);
        dialog_->setMinimumDuration(0);
        dialog_->setMinimumWidth(420);
        dialog_->show();
    }
    // The bar counts rows where their number is known; past the rows, the
    // search index is built.
    const int scale = rowsInAll > 0 ? 1000 : 0;
    dialog_->setMaximum(scale);
    if (scale > 0) dialog_->setValue(int(std::min(rowsDone, rowsInAll) * scale / rowsInAll));
    dialog_->setLabelText(
        rowsInAll > 0 && rowsDone >= rowsInAll
            ? QStringLiteral("Каталог %1 переводится из формата Access: %2 строк, строится "
                             "поисковый индекс")
                  .arg(file)
                  .arg(rowsDone)
            : QStringLiteral("Каталог %1 переводится из формата Access: %2 из %3 строк")
                  .arg(file)
                  .arg(rowsDone)
                  .arg(rowsInAll));
    QCoreApplication::processEvents();
    return !dialog_->wasCanceled();
}

}  // namespace quarrow
