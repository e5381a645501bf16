#include "WebAddress.h"

#include "OpenInShell.h"
#include "core/Exception.h"

namespace quarrow {

bool IsWebAddress(const QString& address) {
    static const QString schemes[] = {QStringLiteral("http://"), QStringLiteral("https://"),
                                      QStringLiteral("ftp://")};
    bool schemeOk = false;
    for (const QString& scheme : schemes) {
        if (address.startsWith(scheme, Qt::CaseInsensitive) && address.size() > scheme.size()) {
            schemeOk = true;
        }
    }
    if (!schemeOk) return false;
    for (const QChar c : address) {
        if (c.unicode() < 32 || c.unicode() == 127) return false;
    }
    return true;
}

void OpenCatalogueAddress(const QString& address) {
    if (!IsWebAddress(address)) {
        QString shown = address;
        for (QChar& c : shown) {
            if (c.unicode() < 32) c = u'?';
        }
        throw Exception(QStringLiteral("Ссылка на драйвер \"%1\" не является веб-адресом "
                                       "(http, https или ftp) и не будет открыта.")
                            .arg(shown));
    }
    OpenInShell(address);
}

}  // namespace quarrow
