#include "SkinDescription.h"

#include "MemoryResource.h"
#include "SkinFiles.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QSettings>

namespace quarrow {

QStringList SkinSectionNames() {
    return {QStringLiteral("FORM"),        QStringLiteral("PANEL"),  QStringLiteral("BUTTON"),
            QStringLiteral("SPEEDBUTTON"), QStringLiteral("EDIT"),   QStringLiteral("CHECKBOX"),
            QStringLiteral("GROUPBOX"),    QStringLiteral("DIALOG"), QStringLiteral("MAINMENU")};
}

QStringList SkinLook::images() const {
    QStringList names;
    if (!image.isEmpty()) names.append(image);
    if (!checkImage.isEmpty()) names.append(checkImage);
    return names;
}

namespace {

// Reads the entries of one group, remembering whether any was malformed.
class GroupReader {
public:
    explicit GroupReader(const QSettings& settings) : settings_(settings) {}

    bool sound() const { return sound_; }
    void malformed() { sound_ = false; }

    void colour(const QString& key, std::optional<QColor>& out) {
        const std::optional<QStringList> items = read(key);
        if (!items) return;
        if (items->size() != 1) return malformed();
        const QColor colour = QColor::fromString(items->front().trimmed());
        if (!colour.isValid()) return malformed();
        out = colour;
    }

    void colours(const QString& key, QList<QColor>& out) {
        const std::optional<QStringList> items = read(key);
        if (!items) return;
        if (items->isEmpty() || items->size() > 4) return malformed();
        for (const QString& item : *items) {
            const QColor colour = QColor::fromString(item.trimmed());
            if (!colour.isValid()) return malformed();
            out.append(colour);
        }
    }

    void number(const QString& key, int lowest, int highest, std::optional<int>& out) {
        const std::optional<QString> text = single(key);
        if (!text) return;
        bool ok = false;
        const int value = text->toInt(&ok);
        if (!ok || value < lowest || value > highest) return malformed();
        out = value;
    }

    void flag(const QString& key, std::optional<bool>& out) {
        const std::optional<QString> text = single(key);
        if (!text) return;
        if (*text == u"1" || text->compare(u"true", Qt::CaseInsensitive) == 0) {
            out = true;
        } else if (*text == u"0" || text->compare(u"false", Qt::CaseInsensitive) == 0) {
            out = false;
        } else {
            malformed();
        }
    }

    void fontName(const QString& key, QString& out) {
        static const QRegularExpression plain(QStringLiteral("^[\\w][\\w \\-]{0,63}$"),
                                              QRegularExpression::UseUnicodePropertiesOption);
        const std::optional<QString> text = single(key);
        if (!text) return;
        if (!plain.match(*text).hasMatch()) return malformed();
        out = *text;
    }

    void fileName(const QString& key, QString& out) {
        const std::optional<QString> text = single(key);
        if (!text) return;
        if (!IsSkinFileName(*text)) return malformed();
        out = *text;
    }

private:
    // The value's items; nothing when the key is absent. A value Qt would
    // have to decode into anything but text is malformed.
    std::optional<QStringList> read(const QString& key) {
        if (!settings_.contains(key)) return std::nullopt;
        const QVariant value = settings_.value(key);
        if (value.typeId() == QMetaType::QString) return QStringList{value.toString()};
        if (value.typeId() == QMetaType::QStringList) return value.toStringList();
        malformed();
        return std::nullopt;
    }

    std::optional<QString> single(const QString& key) {
        const std::optional<QStringList> items = read(key);
        if (!items) return std::nullopt;
        if (items->size() != 1) {
            malformed();
            return std::nullopt;
        }
        return items->front().trimmed();
    }

    const QSettings& settings_;
    bool sound_ = true;
};

SkinLook readLook(GroupReader& in) {
    SkinLook look;
    in.colours(QStringLiteral("Background"), look.background);
    in.colours(QStringLiteral("HoverBackground"), look.hoverBackground);
    in.colours(QStringLiteral("PressedBackground"), look.pressedBackground);
    in.colours(QStringLiteral("HeaderBackground"), look.headerBackground);
    in.fileName(QStringLiteral("Image"), look.image);
    in.colour(QStringLiteral("FontColor"), look.fontColor);
    in.colour(QStringLiteral("HoverFontColor"), look.hoverFontColor);
    in.colour(QStringLiteral("DisabledFontColor"), look.disabledFontColor);
    in.colour(QStringLiteral("HeaderFontColor"), look.headerFontColor);
    in.fontName(QStringLiteral("FontName"), look.fontName);
    in.number(QStringLiteral("FontSize"), 6, 36, look.fontSize);
    in.flag(QStringLiteral("FontBold"), look.fontBold);
    // A font is named whole: a size or weight alone would be applied to
    // Qt's default face instead of the control's own.
    if ((look.fontSize || look.fontBold) && look.fontName.isEmpty()) in.malformed();
    in.colour(QStringLiteral("BorderColor"), look.borderColor);
    in.number(QStringLiteral("BorderWidth"), 0, 8, look.borderWidth);
    in.number(QStringLiteral("BorderRadius"), 0, 16, look.borderRadius);
    in.colour(QStringLiteral("FocusColor"), look.focusColor);
    in.colour(QStringLiteral("SelectionColor"), look.selectionColor);
    in.colour(QStringLiteral("SelectionFontColor"), look.selectionFontColor);
    in.colour(QStringLiteral("GridColor"), look.gridColor);
    in.colour(QStringLiteral("IndicatorColor"), look.indicatorColor);
    in.colour(QStringLiteral("CheckedColor"), look.checkedColor);
    in.fileName(QStringLiteral("CheckImage"), look.checkImage);
    return look;
}

// "BUTTON" names a section; "BUTTON#Button9" one control of it.
bool splitGroupName(const QString& group, QString& section, QString& objectName) {
    static const QRegularExpression identifier(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]{0,127}$"));
    const qsizetype hash = group.indexOf(u'#');
    section = hash < 0 ? group : group.left(hash);
    objectName = hash < 0 ? QString() : group.mid(hash + 1);
    if (!SkinSectionNames().contains(section)) return false;
    return hash < 0 || identifier.match(objectName).hasMatch();
}

// QSettings decodes "@Variant(...)" values into any type Qt knows, pictures
// included, while it loads the file and before a group can refuse them: a
// few bytes can make it allocate gigabytes. No skin needs them, nor the
// escapes and line continuations that can spell one.
bool mayHoldTypedValue(const QByteArray& options) {
    if (options.contains("@Variant(")) return true;
    for (qsizetype i = 0; i + 1 < options.size(); ++i) {
        if (options[i] != '\\') continue;
        const char next = options[i + 1];
        if (next == 'x' || next == 'X' || (next >= '0' && next <= '7') || next == '\r' ||
            next == '\n') {
            return true;
        }
    }
    return false;
}

}  // namespace

SkinDescription SkinDescription::parse(const QByteArray& options, const QString& origin) {
    const auto invalid = [&origin](const QString& why) {
        return ESkinError(
            QStringLiteral("The skin description %1 is not valid: %2").arg(origin, why));
    };
    if (mayHoldTypedValue(options)) {
        throw invalid(QStringLiteral("a value is not plain text"));
    }
    // QSettings reads INI text only from a file: a copy in memory, named after
    // its content, as QSettings keeps what it read of a file by its name.
    const MemoryResource copy(
        QStringLiteral("/skin/descriptions"),
        QString::fromLatin1(QCryptographicHash::hash(options, QCryptographicHash::Sha256).toHex()) +
            QStringLiteral(".ini"),
        options);
    if (!copy.isValid()) {
        throw ESkinError(QStringLiteral("Cannot read the skin description %1").arg(origin));
    }
    QSettings settings(copy.path(), QSettings::IniFormat);
    if (settings.status() != QSettings::NoError) throw invalid(QStringLiteral("not an INI file"));
    const QStringList groups = settings.childGroups();
    if (!groups.contains(QStringLiteral("SKIN"))) throw invalid(QStringLiteral("no [SKIN] group"));

    SkinDescription description;
    settings.beginGroup(QStringLiteral("SKIN"));
    description.version = settings.value(QStringLiteral("Version")).toString();
    settings.endGroup();

    for (const QString& group : groups) {
        QString section;
        QString objectName;
        if (group == u"SKIN" || !splitGroupName(group, section, objectName)) continue;
        settings.beginGroup(group);
        GroupReader reader(settings);
        SkinLook look = readLook(reader);
        settings.endGroup();
        if (!reader.sound()) {
            description.rejected.append(group);
            continue;
        }
        look.section = section;
        look.objectName = objectName;
        description.looks.append(look);
    }
    // A named control of a section left out keeps the plain look with it.
    description.looks.removeIf([&description](const SkinLook& look) {
        return !look.objectName.isEmpty() && description.rejected.contains(look.section);
    });
    return description;
}

}  // namespace quarrow
