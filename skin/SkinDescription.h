#pragma once

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace quarrow {

// The skin sections that controls, windows and menus name.
QStringList SkinSectionNames();

// How one skin section is drawn, or, when `objectName` is set, one named
// control of that section (a group such as [BUTTON#Button9]). Absent values
// leave the plain look's own.
struct SkinLook {
    QString section;
    QString objectName;

    // One colour, or two to four colours of a gradient from top to bottom.
    QList<QColor> background;
    QList<QColor> hoverBackground;
    QList<QColor> pressedBackground;
    QList<QColor> headerBackground;
    QString image;  // a picture of the skin, tiled over the background

    std::optional<QColor> fontColor;
    std::optional<QColor> hoverFontColor;
    std::optional<QColor> disabledFontColor;
    std::optional<QColor> headerFontColor;
    QString fontName;
    std::optional<int> fontSize;  // points
    std::optional<bool> fontBold;

    std::optional<QColor> borderColor;
    std::optional<int> borderWidth;
    std::optional<int> borderRadius;
    std::optional<QColor> focusColor;

    std::optional<QColor> selectionColor;
    std::optional<QColor> selectionFontColor;
    std::optional<QColor> gridColor;

    std::optional<QColor> indicatorColor;
    std::optional<QColor> checkedColor;
    QString checkImage;

    QStringList images() const;
};

// A skin's description, read from its Options.dat: an INI file with a group
// [SKIN] (Name, Version, Author; the program reports the version) and one
// group per section.
struct SkinDescription {
    QString version;
    // The sound groups: a group with any malformed entry is left out whole,
    // so that its controls keep the plain look.
    QList<SkinLook> looks;
    QStringList rejected;

    // Throws ESkinError when `options` is not a skin description at all.
    static SkinDescription parse(const QByteArray& options, const QString& origin);
};

}  // namespace quarrow
