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

}  // namespace quarrow
