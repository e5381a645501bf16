#include "WebAddress.h"

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

}  // namespace quarrow
