#include "DeviceCatalogueConversion.h"

#include "db/Connection.h"
#include "dialogs/Dialogs.h"
#include "forms/ConversionProgressDialog.h"
#include "stores/JetCatalogueConversion.h"

namespace quarrow {

void ConvertJetDeviceCatalogue(QWidget* owner, const Connection& connection) {
    ConversionProgressDialog progress(owner);
    const QString done = ConvertJetCatalogueBeforeOpening(
        connection.connectionString(), ConvertedCatalogue::Devices, progress.reporter());
    if (!done.isEmpty()) ShowPlainMessage(done);
}

}  // namespace quarrow
