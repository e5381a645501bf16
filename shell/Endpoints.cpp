#include "Endpoints.h"

#include <QUrl>

namespace quarrow {

namespace {
const QString kScheme = QStringLiteral("http://");
}

QString HomeHost() { return QStringLiteral(QUARROW_HOME_HOST); }
QString CatalogueHost() { return QStringLiteral(QUARROW_CATALOGUE_HOST); }

QString HomePageUrl() { return kScheme + HomeHost(); }
QString SiteSearchUrl() { return HomePageUrl() + QStringLiteral("/index.php?do=search"); }
QString CatalogueSearchUrl() { return kScheme + CatalogueHost() + QStringLiteral("/search/?q="); }
QString SupportPageUrl() { return kScheme + CatalogueHost() + QStringLiteral("/index/0-3"); }
QString CatalogueAddress() { return QStringLiteral("www.") + CatalogueHost(); }

QString DeviceLookupUrl() {
    return QStringLiteral("http://www.pcidatabase.com/search.php?device_search_str=");
}
QString VendorLookupUrl() {
    return QStringLiteral("http://www.pcidatabase.com/search.php?vendor_search_str=");
}
QString HardwareIdSiteUrl() { return QStringLiteral("http://devid.info/ru/"); }

QString DeviceManagerScript() { return QStringLiteral("dz.cmd"); }

QString WithQueryText(const QString& endpoint, const QString& typed) {
    return endpoint + QString::fromLatin1(QUrl::toPercentEncoding(typed));
}

}  // namespace quarrow
