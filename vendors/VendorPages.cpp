#include "VendorPages.h"

namespace quarrow {

namespace {

struct VendorPage {
    const char16_t* button;
    const char16_t* host;
    const char16_t* pathAndQuery;
};

// The pages are kept exactly as each vendor's site names them, including an
// empty query after "?" and a query key without a value.
const VendorPage kVendorPages[] = {
    {u"sButton1", u"www.acer.ru",
     u"/acer/"
     u"service.do?LanguageISOCtxParam=ru&miu10einu24.current.attN2B2F2EEF=907&sp=page15e&ctx2."
     u"c2att1=21&miu10ekcond13.attN2B2F2EEF=907&CountryISOCtxParam=RU&ctx1.att21k=1&CRC="
     u"916410076"},                                                                     // ACER
    {u"sButton11", u"search.amd.com", u"/uk/_layouts/search/search.aspx"},              // AMD
    {u"sButton12", u"www.asrock.com", u"/support/download.ru.asp?Keyword"},             // ASRock
    {u"sButton13", u"support.asus.com", u"/download/download.aspx"},                    // ASUS
    {u"sButton16", u"game.amd.com", u"/us/game/downloads/Pages/downloads.aspx"},        // ATI
    {u"sButton14", u"www.biostar-usa.com", u"/quicksearch.asp"},                        // BIOSTAR
    {u"sButton10", u"solutions.brother.com", u"/bsc/public/SearchResult.aspx?"},        // BROTHER
    {u"sButton19", u"www.broadcom.com", u"/support/ethernet_nic/downloaddrivers.php"},  // BROADCOM
    {u"sButton9", u"software.canon-europe.com", u"/"},                                  // CANON
    {u"sButton20", u"support.creative.com", u"/"},                                      // CREATIVE
    {u"sButton6", u"www.gigabyte.ru", u"/search/"},                                     // GIGABYTE
    {u"sButton7", u"www.foxconnchannel.com", u"/searcher.aspx"},                        // FOXCONN
    {u"sButton24", u"www.logitech.com", u"/ru-ru/support-downloads"},                   // LOGITECH
    {u"sButton2", u"download.lenovo.com", u"/lenovo/content/vru/websupport_ru.html"},   // LENOVO
    {u"sButton15", u"ru.msi.com", u"/program/support/spt_index.php"},                   // MSI
    {u"sButton4", u"www.nvidia.ru", u"/Download/index.aspx?lang=ru"},                   // NVIDIA
    {u"sButton23", u"support.lexmark.com",
     u"/index?page=productSelection&linkSelected=node0&userlocale=RU_RU&locale=RU"},  // LEXMARK
    {u"sButton18", u"www.samsung.com", u"/ru/function/search/espsearchResult.do"},    // SAMSUNG
    {u"sButton21", u"support.sony-europe.com", u"/main/index.aspx?site=odw_ru_RU"},   // SONY
    {u"sButton26", u"support.epson.ru", u"/"},                                        // EPSON
    {u"sButton5", u"search.hp.com", u"/gwrurus/query.html"},                          // HP
    {u"sButton8", u"www.epox.ru", u"/products/mb/"},                                  // EPoX
    {u"sButton17", u"www.realtek.com.tw", u"/downloads/searchView.aspx"},             // REALTEK
    {u"sButton3", u"downloadcenter.intel.com", u"/SearchResult.aspx"},                // INTEL
    {u"sButton22", u"www.oki.ua", u"/support/printer-drivers/index.aspx"},            // OKI
    {u"sButton25", u"support.xerox.com", u"/support/enza.html"},                      // XEROX
};

}  // namespace

QString VendorSupportUrl(QStringView button) {
    for (const VendorPage& page : kVendorPages) {
        if (button == QStringView(page.button)) {
            return QStringLiteral("http://") + QString::fromUtf16(page.host) +
                   QString::fromUtf16(page.pathAndQuery);
        }
    }
    Q_ASSERT_X(false, "VendorSupportUrl", "no page for this button");
    return {};
}

}  // namespace quarrow
