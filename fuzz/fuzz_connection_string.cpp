// Connection strings: any text either parses or is refused with our own
// exception. What parses must read back the same once every value is
// quoted, and a catalogue's own connection string must give back its path
// and password whatever they hold.

#include "DriverCatalogueFiles.h"
#include "core/Exception.h"
#include "db/ConnectionString.h"

#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

using quarrow::ConnectionSettings;

[[noreturn]] void fail(const char* what, const QString& text) {
    std::fprintf(stderr, "%s\nconnection string: %s\n", what, text.toUtf8().constData());
    std::abort();
}

QString quoted(QString value) {
    value.replace(u'"', QStringLiteral("\"\""));
    return u'"' + value + u'"';
}

// Every key with its value quoted, so nothing in a value can be misread.
QString requoted(const ConnectionSettings& settings) {
    QString text;
    for (auto it = settings.values.cbegin(); it != settings.values.cend(); ++it) {
        text += it.key() + u'=' + quoted(it.value()) + u';';
    }
    return text;
}

void checkRequoted(const ConnectionSettings& settings) {
    const QString text = requoted(settings);
    ConnectionSettings again;
    try {
        again = quarrow::ParseConnectionString(text);
    } catch (const quarrow::Exception&) {
        fail("the quoted form of a parsed string is refused", text);
    }
    if (again.values != settings.values || again.mode != settings.mode) {
        fail("the quoted form of a parsed string reads back differently", text);
    }
}

void checkCatalogueString(const QString& path, const QString& password) {
    const QString text = quarrow::CatalogueConnectionString(path, password);
    ConnectionSettings settings;
    try {
        settings = quarrow::ParseConnectionString(text);
    } catch (const quarrow::Exception&) {
        fail("a catalogue's connection string is refused", text);
    }
    if (settings.dataSource != path || settings.password != password ||
        settings.provider != quarrow::EngineProviderName() ||
        settings.mode != quarrow::ShareMode::ReadOnly) {
        fail("a catalogue's connection string reads back differently", text);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        checkRequoted(quarrow::ParseConnectionString(text));
    } catch (const quarrow::Exception&) {
        // Refused: the one way a string may fail.
    }
    const qsizetype cut = text.indexOf(u'\0');
    checkCatalogueString(text.left(cut < 0 ? text.size() : cut),
                         cut < 0 ? QString() : text.mid(cut + 1));
    return 0;
}
