#pragma once

#include <QString>
#include <QStringView>

namespace quarrow {

// The driver page that a vendor button of the manufacturer links window
// opens, by the button's object name ("sButton1" ... "sButton26").
QString VendorSupportUrl(QStringView button);

}  // namespace quarrow
