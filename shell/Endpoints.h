#pragma once

#include <QString>

namespace quarrow {

// The maker's sites; their hosts are build settings.
QString HomeHost();
QString CatalogueHost();

QString HomePageUrl();
QString SiteSearchUrl();
QString CatalogueSearchUrl();
QString SupportPageUrl();
// The maker's web catalogue as the not-found messages name it: "www." and the host.
QString CatalogueAddress();

// The outside PCI ID lookup service and hardware-ID reference site.
QString DeviceLookupUrl();
QString VendorLookupUrl();
QString HardwareIdSiteUrl();

// The device-manager script, handed over by its bare name.
QString DeviceManagerScript();

// `endpoint`, which ends in "=", followed by `typed` as a query value: every
// character but the unreserved ASCII letters, digits and "-._~" is
// percent-encoded, letters beyond ASCII as their UTF-8 bytes. So "&", "#",
// "+", "%" and blanks reach the site as typed instead of ending or changing
// the query.
QString WithQueryText(const QString& endpoint, const QString& typed);

}  // namespace quarrow
