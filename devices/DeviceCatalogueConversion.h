#pragma once

class QWidget;

namespace quarrow {

class Connection;

// The step before `connection` opens dev.mdb: a Jet catalogue there is
// converted first (JetCatalogueConversion.h), with its progress over
// `owner`, and a plain message says what was done.
void ConvertJetDeviceCatalogue(QWidget* owner, const Connection& connection);

}  // namespace quarrow
