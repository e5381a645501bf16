#include "ConnectionString.h"

#include "core/Exception.h"

namespace quarrow {

namespace {

[[noreturn]] void malformed() {
    throw EOleException(QStringLiteral("The connection string is not a list of key=value pairs."));
}

ShareMode parseMode(const QString& value) {
    const QString mode = value.simplified().toLower();
    if (mode == u"share deny none") return ShareMode::DenyNone;
    if (mode == u"share deny write") return ShareMode::DenyWrite;
    if (mode == u"share deny read") return ShareMode::DenyRead;
    if (mode == u"share exclusive") return ShareMode::Exclusive;
    if (mode == u"read") return ShareMode::ReadOnly;
    if (mode == u"readwrite" || mode == u"write") return ShareMode::ReadWrite;
    throw EOleException(QStringLiteral("The connection mode \"%1\" is not supported.").arg(value));
}

// Reads one value starting at `pos`, which may be quoted; leaves `pos` on the
// separator that follows it.
QString readValue(const QString& text, qsizetype& pos) {
    while (pos < text.size() && text[pos] == u' ') ++pos;
    if (pos < text.size() && (text[pos] == u'"' || text[pos] == u'\'')) {
        const QChar quote = text[pos++];
        QString value;
        for (;;) {
            if (pos >= text.size()) malformed();
            if (text[pos] == quote) {
                if (pos + 1 < text.size() && text[pos + 1] == quote) {
                    value += quote;
                    pos += 2;
                    continue;
                }
                ++pos;
                break;
            }
            value += text[pos++];
        }
        while (pos < text.size() && text[pos] == u' ') ++pos;
        if (pos < text.size() && text[pos] != u';') malformed();
        return value;
    }
    const qsizetype end = text.indexOf(u';', pos);
    const qsizetype stop = end < 0 ? text.size() : end;
    const QString value = text.mid(pos, stop - pos).trimmed();
    pos = stop;
    return value;
}

}  // namespace

QString EngineProviderName() { return QStringLiteral("Microsoft.Jet.OLEDB.4.0"); }

ConnectionSettings ParseConnectionString(const QString& text) {
    ConnectionSettings settings;
    qsizetype pos = 0;
    while (pos < text.size()) {
        if (text[pos] == u';' || text[pos] == u' ') {
            ++pos;
            continue;
        }
        const qsizetype equals = text.indexOf(u'=', pos);
        if (equals < 0) malformed();
        const QString key = text.mid(pos, equals - pos).trimmed().toLower();
        if (key.isEmpty() || key.contains(u';')) malformed();
        pos = equals + 1;
        settings.values.insert(key, readValue(text, pos));
    }
    settings.provider = settings.values.value(QStringLiteral("provider"));
    settings.dataSource = settings.values.value(QStringLiteral("data source"));
    settings.password = settings.values.value(QStringLiteral("jet oledb:database password"));
    if (settings.values.contains(QStringLiteral("mode"))) {
        settings.mode = parseMode(settings.values.value(QStringLiteral("mode")));
    }
    return settings;
}

}  // namespace quarrow
