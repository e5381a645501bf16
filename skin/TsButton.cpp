#include "TsButton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace quarrow {

TsButton::TsButton(QWidget* parent) : QPushButton(parent) {}

bool TsButton::captionFits(const QRect& contents) const {
    return fontMetrics().horizontalAdvance(text()) <= contents.width();
}

void TsButton::paintEvent(QPaintEvent* event) {
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect contents = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    if (captionFits(contents) || !icon().isNull()) {
        QPushButton::paintEvent(event);
        return;
    }
    QStylePainter painter(this);
    const QString caption = option.text;
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButtonBevel, option);
    painter.drawItemText(contents, Qt::AlignCenter | Qt::TextWordWrap, option.palette, isEnabled(),
                         caption, QPalette::ButtonText);
}

}  // namespace quarrow
