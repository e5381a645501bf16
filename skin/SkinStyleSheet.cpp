#include "SkinStyleSheet.h"

#include <QStringList>

namespace quarrow {

namespace {

QString colourText(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(rgb.red())
        .arg(rgb.green())
        .arg(rgb.blue())
        .arg(rgb.alpha());
}

QString brushText(const QList<QColor>& colours) {
    if (colours.size() == 1) return colourText(colours.front());
    QString text = QStringLiteral("qlineargradient(x1:0, y1:0, x2:0, y2:1");
    for (qsizetype i = 0; i < colours.size(); ++i) {
        const double stop = double(i) / double(colours.size() - 1);
        text += QStringLiteral(", stop:%1 %2").arg(stop).arg(colourText(colours[i]));
    }
    return text + u')';
}

// The declarations of one rule, in the order they are added.
class Block {
public:
    void add(const QString& property, const QString& value) {
        lines_.append(QStringLiteral("    %1: %2;").arg(property, value));
    }
    void colour(const QString& property, const std::optional<QColor>& value) {
        if (value) add(property, colourText(*value));
    }
    void brush(const QString& property, const QList<QColor>& value) {
        if (!value.isEmpty()) add(property, brushText(value));
    }
    bool isEmpty() const { return lines_.isEmpty(); }
    QString text() const { return lines_.join(u'\n'); }

private:
    QStringList lines_;
};

class StyleSheet {
public:
    explicit StyleSheet(const QHash<QString, QString>& images) : images_(images) {}

    void rule(const QString& selector, const Block& block) {
        if (!block.isEmpty())
            text_ += selector + QStringLiteral(" {\n") + block.text() + QStringLiteral("\n}\n");
    }
    QString url(const QString& image) const {
        return QStringLiteral("url(\"%1\")").arg(images_.value(image));
    }
    const QString& text() const { return text_; }

private:
    const QHash<QString, QString>& images_;
    QString text_;
};

int borderWidth(const SkinLook& look) { return look.borderWidth.value_or(1); }

bool hasBorder(const SkinLook& look) { return look.borderColor.has_value() || look.borderWidth; }

// Background, text, font and border: what every section may set.
Block boxOf(const SkinLook& look, const StyleSheet& sheet) {
    Block box;
    box.brush(QStringLiteral("background-color"), look.background);
    if (!look.image.isEmpty()) box.add(QStringLiteral("background-image"), sheet.url(look.image));
    box.colour(QStringLiteral("color"), look.fontColor);
    if (!look.fontName.isEmpty())
        box.add(QStringLiteral("font-family"), u'"' + look.fontName + u'"');
    if (look.fontSize)
        box.add(QStringLiteral("font-size"), QStringLiteral("%1pt").arg(*look.fontSize));
    if (look.fontBold)
        box.add(QStringLiteral("font-weight"),
                *look.fontBold ? QStringLiteral("bold") : QStringLiteral("normal"));
    if (hasBorder(look)) {
        const int width = borderWidth(look);
        box.add(QStringLiteral("border"),
                width == 0 ? QStringLiteral("none")
                           : QStringLiteral("%1px solid %2")
                                 .arg(width)
                                 .arg(colourText(look.borderColor.value_or(Qt::gray))));
    }
    if (look.borderRadius)
        box.add(QStringLiteral("border-radius"), QStringLiteral("%1px").arg(*look.borderRadius));
    return box;
}

// The focus mark is a border one pixel wider in the focus colour; the
// padding gives that pixel back, so nothing inside moves when focus comes.
void addFocus(StyleSheet& sheet, const QString& selector, const SkinLook& look, Block& box) {
    if (!look.focusColor) return;
    box.add(QStringLiteral("padding"), QStringLiteral("1px"));
    Block focus;
    focus.add(QStringLiteral("border"), QStringLiteral("%1px solid %2")
                                            .arg(borderWidth(look) + 1)
                                            .arg(colourText(*look.focusColor)));
    focus.add(QStringLiteral("padding"), QStringLiteral("0px"));
    sheet.rule(selector + QStringLiteral(":focus"), focus);
}

void addDisabled(StyleSheet& sheet, const QString& selector, const SkinLook& look) {
    Block disabled;
    disabled.colour(QStringLiteral("color"), look.disabledFontColor);
    sheet.rule(selector + QStringLiteral(":disabled"), disabled);
}

// Labels name no section: they take the text colour of the window, panel or
// group they lie on, and let its background show through.
void addLabels(StyleSheet& sheet, const QString& selector, const SkinLook& look) {
    if (!look.fontColor) return;
    Block labels;
    labels.colour(QStringLiteral("color"), look.fontColor);
    labels.add(QStringLiteral("background"), QStringLiteral("transparent"));
    sheet.rule(selector + QStringLiteral(" QLabel"), labels);
}

void addWindow(StyleSheet& sheet, const QString& selector, const SkinLook& look) {
    sheet.rule(selector, boxOf(look, sheet));
    addLabels(sheet, selector, look);
}

void addGroupBox(StyleSheet& sheet, const QString& selector, const SkinLook& look) {
    Block box = boxOf(look, sheet);
    if (!box.isEmpty()) box.add(QStringLiteral("margin-top"), QStringLiteral("7px"));
    sheet.rule(selector, box);
    Block title;
    if (!box.isEmpty()) {
        title.add(QStringLiteral("subcontrol-origin"), QStringLiteral("margin"));
        title.add(QStringLiteral("subcontrol-position"), QStringLiteral("top left"));
        title.add(QStringLiteral("left"), QStringLiteral("8px"));
        title.add(QStringLiteral("padding"), QStringLiteral("0px 3px"));
    }
    title.colour(QStringLiteral("color"), look.fontColor);
    sheet.rule(selector + QStringLiteral("::title"), title);
    addLabels(sheet, selector, look);
}

// Buttons that a dialog lays out take their size from their text: give
// them the room of the desktop's own dialog buttons.
void addDialogButton(StyleSheet& sheet, const QString& selector, const SkinLook& look) {
    const QString inDialog = QStringLiteral("QDialog ") + selector;
    Block room;
    room.add(QStringLiteral("min-width"), QStringLiteral("60px"));
    room.add(QStringLiteral("min-height"), QStringLiteral("19px"));
    room.add(QStringLiteral("padding"), QStringLiteral("2px 8px"));
    sheet.rule(inDialog, room);
    if (!look.focusColor) return;
    Block focus;
    focus.add(QStringLiteral("padding"), QStringLiteral("1px 7px"));
    sheet.rule(inDialog + QStringLiteral(":focus"), focus);
}

void addButton(StyleSheet& sheet, const QString& selector, const SkinLook& look) {
    Block box = boxOf(look, sheet);
    addFocus(sheet, selector, look, box);
    sheet.rule(selector, box);
    if (hasBorder(look)) addDialogButton(sheet, selector, look);
    // Written after the focus rule so that a pressed or hovered button shows
    // its state and keeps its focus mark.
    Block hover;
    hover.brush(QStringLiteral("background-color"), look.hoverBackground);
    hover.colour(QStringLiteral("color"), look.hoverFontColor);
    sheet.rule(selector + QStringLiteral(":hover"), hover);
    Block pressed;
    pressed.brush(QStringLiteral("background-color"), look.pressedBackground);
    sheet.rule(selector + QStringLiteral(":pressed"), pressed);
    sheet.rule(selector + QStringLiteral(":checked"), pressed);
    addDisabled(sheet, selector, look);
}

void addEdit(StyleSheet& sheet, const QString& selector, const SkinLook& look) {
    Block box = boxOf(look, sheet);
    box.colour(QStringLiteral("selection-background-color"), look.selectionColor);
    box.colour(QStringLiteral("selection-color"), look.selectionFontColor);
    box.colour(QStringLiteral("gridline-color"), look.gridColor);
    addFocus(sheet, selector, look, box);
    sheet.rule(selector, box);
    addDisabled(sheet, selector, look);

    Block header;
    header.brush(QStringLiteral("background-color"), look.headerBackground);
    header.colour(QStringLiteral("color"), look.headerFontColor);
    if (!header.isEmpty()) {
        const QString line =
            QStringLiteral("1px solid %1").arg(colourText(look.gridColor.value_or(Qt::gray)));
        header.add(QStringLiteral("border"), QStringLiteral("none"));
        header.add(QStringLiteral("border-right"), line);
        header.add(QStringLiteral("border-bottom"), line);
        header.add(QStringLiteral("padding"), QStringLiteral("0px 2px"));
    }
    sheet.rule(selector + QStringLiteral(" QHeaderView::section"), header);
    sheet.rule(selector + QStringLiteral(" QTableCornerButton::section"), header);
    Block headerArea;
    headerArea.brush(QStringLiteral("background-color"), look.headerBackground);
    sheet.rule(selector + QStringLiteral(" QHeaderView"), headerArea);
}

void addCheckBox(StyleSheet& sheet, const QString& selector, const SkinLook& look) {
    Block box;
    box.colour(QStringLiteral("color"), look.fontColor);
    box.add(QStringLiteral("background"), QStringLiteral("transparent"));
    sheet.rule(selector, box);
    addDisabled(sheet, selector, look);
    if (!look.indicatorColor) return;

    const QString indicator = selector + QStringLiteral("::indicator");
    Block plain;
    plain.add(QStringLiteral("width"), QStringLiteral("13px"));
    plain.add(QStringLiteral("height"), QStringLiteral("13px"));
    plain.add(QStringLiteral("border"),
              QStringLiteral("1px solid %1").arg(colourText(look.borderColor.value_or(Qt::gray))));
    if (look.borderRadius)
        plain.add(QStringLiteral("border-radius"), QStringLiteral("%1px").arg(*look.borderRadius));
    plain.colour(QStringLiteral("background-color"), look.indicatorColor);
    sheet.rule(indicator, plain);
    Block focus;
    focus.colour(QStringLiteral("border-color"), look.focusColor);
    sheet.rule(indicator + QStringLiteral(":focus"), focus);
    sheet.rule(indicator + QStringLiteral(":hover"), focus);
    Block checked;
    checked.colour(QStringLiteral("background-color"), look.checkedColor);
    if (!look.checkImage.isEmpty())
        checked.add(QStringLiteral("image"), sheet.url(look.checkImage));
    sheet.rule(indicator + QStringLiteral(":checked"), checked);
}

void addMenu(StyleSheet& sheet, const QString& selector, const SkinLook& look, bool whole) {
    Block box = boxOf(look, sheet);
    box.add(QStringLiteral("padding"), QStringLiteral("2px"));
    sheet.rule(selector, box);
    Block item;
    item.add(QStringLiteral("padding"), QStringLiteral("4px 24px"));
    item.add(QStringLiteral("background"), QStringLiteral("transparent"));
    sheet.rule(selector + QStringLiteral("::item"), item);
    Block selected;
    selected.colour(QStringLiteral("background-color"), look.selectionColor);
    selected.colour(QStringLiteral("color"), look.selectionFontColor);
    sheet.rule(selector + QStringLiteral("::item:selected"), selected);
    Block disabled;
    disabled.colour(QStringLiteral("color"), look.disabledFontColor);
    sheet.rule(selector + QStringLiteral("::item:disabled"), disabled);
    Block separator;
    if (look.borderColor) {
        separator.add(QStringLiteral("height"), QStringLiteral("1px"));
        separator.colour(QStringLiteral("background-color"), look.borderColor);
        separator.add(QStringLiteral("margin"), QStringLiteral("3px 6px"));
    }
    sheet.rule(selector + QStringLiteral("::separator"), separator);
    if (!whole) return;
    // Tooltips are small pop-up windows too: they follow the menus.
    Block tip;
    if (!look.background.isEmpty())
        tip.colour(QStringLiteral("background-color"), look.background.front());
    tip.colour(QStringLiteral("color"), look.fontColor);
    if (look.borderColor)
        tip.add(QStringLiteral("border"),
                QStringLiteral("1px solid %1").arg(colourText(*look.borderColor)));
    if (!tip.isEmpty()) tip.add(QStringLiteral("padding"), QStringLiteral("2px"));
    sheet.rule(QStringLiteral("QToolTip"), tip);
}

void addLook(StyleSheet& sheet, const SkinLook& look) {
    QString selector = look.objectName.isEmpty() ? QStringLiteral("*") : u'#' + look.objectName;
    selector += QStringLiteral("[skinSection=\"%1\"]").arg(look.section);
    const QString& section = look.section;
    if (section == u"FORM" || section == u"DIALOG" || section == u"PANEL") {
        addWindow(sheet, selector, look);
    } else if (section == u"GROUPBOX") {
        addGroupBox(sheet, selector, look);
    } else if (section == u"BUTTON" || section == u"SPEEDBUTTON") {
        addButton(sheet, selector, look);
    } else if (section == u"EDIT") {
        addEdit(sheet, selector, look);
    } else if (section == u"CHECKBOX") {
        addCheckBox(sheet, selector, look);
    } else if (section == u"MAINMENU") {
        addMenu(sheet, selector, look, look.objectName.isEmpty());
    }
}

template <typename T>
void fill(T& value, const T& fallback) {
    if (!value) value = fallback;
}

void fill(QList<QColor>& value, const QList<QColor>& fallback) {
    if (value.isEmpty()) value = fallback;
}

void fill(QString& value, const QString& fallback) {
    if (value.isEmpty()) value = fallback;
}

}  // namespace

SkinLook MergedLook(const SkinLook& section, const SkinLook& control) {
    SkinLook look = control;
    fill(look.background, section.background);
    fill(look.hoverBackground, section.hoverBackground);
    fill(look.pressedBackground, section.pressedBackground);
    fill(look.headerBackground, section.headerBackground);
    fill(look.image, section.image);
    fill(look.fontColor, section.fontColor);
    fill(look.hoverFontColor, section.hoverFontColor);
    fill(look.disabledFontColor, section.disabledFontColor);
    fill(look.headerFontColor, section.headerFontColor);
    fill(look.fontName, section.fontName);
    fill(look.fontSize, section.fontSize);
    fill(look.fontBold, section.fontBold);
    fill(look.borderColor, section.borderColor);
    fill(look.borderWidth, section.borderWidth);
    fill(look.borderRadius, section.borderRadius);
    fill(look.focusColor, section.focusColor);
    fill(look.selectionColor, section.selectionColor);
    fill(look.selectionFontColor, section.selectionFontColor);
    fill(look.gridColor, section.gridColor);
    fill(look.indicatorColor, section.indicatorColor);
    fill(look.checkedColor, section.checkedColor);
    fill(look.checkImage, section.checkImage);
    return look;
}

QString BuildSkinStyleSheet(const QList<SkinLook>& looks, const QHash<QString, QString>& images) {
    StyleSheet sheet(images);
    // Sections first, in their fixed order, so that a panel's labels follow
    // the panel rather than the window; named controls last, so they win.
    for (const QString& section : SkinSectionNames()) {
        for (const SkinLook& look : looks) {
            if (look.section == section && look.objectName.isEmpty()) addLook(sheet, look);
        }
    }
    for (const SkinLook& look : looks) {
        if (look.objectName.isEmpty()) continue;
        SkinLook whole;
        for (const SkinLook& candidate : looks) {
            if (candidate.section == look.section && candidate.objectName.isEmpty())
                whole = candidate;
        }
        addLook(sheet, MergedLook(whole, look));
    }
    return sheet.text();
}

}  // namespace quarrow
