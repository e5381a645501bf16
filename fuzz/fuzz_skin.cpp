// Skin descriptions: any Options.dat either reads or is refused with
// ESkinError. What reads holds no value that Qt decoded into a type of its
// own, and turns into a style sheet whose every line is a selector, a
// declaration or a closing brace: nothing a skin says can end a rule early
// or start one of its own.

#include "skin/SkinDescription.h"
#include "skin/SkinFiles.h"
#include "skin/SkinStyleSheet.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QHash>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryFile>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

using quarrow::SkinDescription;
using quarrow::SkinLook;

[[noreturn]] void fail(const char* what, const QString& detail) {
    std::fprintf(stderr, "%s: %s\n", what, detail.toUtf8().constData());
    std::abort();
}

void checkLooks(const SkinDescription& description) {
    static const QRegularExpression identifier(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    const QStringList sections = quarrow::SkinSectionNames();
    for (const SkinLook& look : description.looks) {
        if (!sections.contains(look.section)) fail("a look of no known section", look.section);
        if (!look.objectName.isEmpty() && !identifier.match(look.objectName).hasMatch()) {
            fail("a look for a control that cannot be named", look.objectName);
        }
        if (!look.objectName.isEmpty() && description.rejected.contains(look.section)) {
            fail("a control kept whose section was left out", look.objectName);
        }
        for (const QString& image : look.images()) {
            if (!quarrow::IsSkinFileName(image)) fail("a picture outside the skin", image);
        }
    }
}

// Every picture a look names, as if the skin held it.
QHash<QString, QString> imagesOf(const QList<SkinLook>& looks) {
    QHash<QString, QString> images;
    for (const SkinLook& look : looks) {
        for (const QString& image : look.images()) {
            if (!images.contains(image)) {
                images.insert(image,
                              QStringLiteral("/tmp/skin images/image%1.png").arg(images.size()));
            }
        }
    }
    return images;
}

// The types QSettings gives INI values without "@Variant(...)".
bool plainlyTyped(const QVariant& value) {
    switch (value.typeId()) {
        case QMetaType::UnknownType:
        case QMetaType::QString:
        case QMetaType::QStringList:
        case QMetaType::QByteArray:
        case QMetaType::QRect:
        case QMetaType::QSize:
        case QMetaType::QPoint:
            return true;
        case QMetaType::QVariantList: {
            const QVariantList items = value.toList();
            return std::all_of(items.begin(), items.end(), plainlyTyped);
        }
        default:
            return false;
    }
}

// What the reader took, read again the way QSettings reads it: a value that
// decodes into any other type got past the reader's guard.
void checkNoTypedValues(const QByteArray& options) {
    QTemporaryFile copy;
    if (!copy.open() || copy.write(options) != options.size() || !copy.flush()) {
        fail("cannot write a copy", copy.errorString());
    }
    QSettings settings(copy.fileName(), QSettings::IniFormat);
    for (const QString& key : settings.allKeys()) {
        if (!plainlyTyped(settings.value(key))) fail("a typed value was decoded", key);
    }
}

void checkStyleSheet(const QString& sheet) {
    static const QRegularExpression selector(QStringLiteral("^[^{};\\n]+ \\{$"));
    static const QRegularExpression declaration(QStringLiteral("^    [a-z-]+: [^{};\\n]+;$"));
    bool inRule = false;
    for (const QString& line : sheet.split(u'\n', Qt::SkipEmptyParts)) {
        if (!inRule && selector.match(line).hasMatch()) {
            inRule = true;
        } else if (inRule && line == u"}") {
            inRule = false;
        } else if (!inRule || !declaration.match(line).hasMatch()) {
            fail("a style sheet line out of place", line);
        }
    }
    if (inRule) fail("a style sheet rule left open", sheet);
}

}  // namespace

// QSettings decodes "@Variant(...)" values of any type, pictures included,
// before the parser sees them, and pictures need the application the
// program always has. Qt's warnings about malformed values only slow the
// fuzzer down.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static int argc = 1;
    static char name[] = "fuzz_skin";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    new QGuiApplication(argc, argv);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtFatalMsg) std::fprintf(stderr, "%s\n", message.toUtf8().constData());
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray options(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    SkinDescription description;
    try {
        description = SkinDescription::parse(options, QStringLiteral("Fuzz/Options.dat"));
    } catch (const quarrow::ESkinError&) {
        return 0;
    }
    checkNoTypedValues(options);
    checkLooks(description);
    checkStyleSheet(quarrow::BuildSkinStyleSheet(description.looks, imagesOf(description.looks)));
    return 0;
}
