#include "SkinSections.h"

#include "ThirdParty.h"

#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QMessageBox>
#include <QWidget>

namespace quarrow {

QString SectionFor(const QWidget* widget, SkinningRules rules, bool skinnedPopups) {
    if (qobject_cast<const QMenu*>(widget) != nullptr) {
        return skinnedPopups ? QStringLiteral("MAINMENU") : QString();
    }
    if (widget->isWindow()) {
        const Qt::WindowType type = widget->windowType();
        if (type != Qt::Window && type != Qt::Dialog) return {};
        if (widget->objectName() == u"TMessageForm") {
            return rules.testFlag(SkinningRule::StdDialogs) ? QStringLiteral("FORM") : QString();
        }
        if (qobject_cast<const QMessageBox*>(widget) != nullptr) {
            return rules.testFlag(SkinningRule::StdDialogs) ? QStringLiteral("DIALOG") : QString();
        }
        return rules.testFlag(SkinningRule::StdForms) ? QStringLiteral("FORM") : QString();
    }
    if (!rules.testFlag(SkinningRule::ThirdParty)) return {};
    return ThirdPartySection(widget->metaObject()->className());
}

SkinSectionAssigner::SkinSectionAssigner(SkinningRules rules, bool skinnedPopups, QObject* parent)
    : QObject(parent), rules_(rules), skinnedPopups_(skinnedPopups) {}

void SkinSectionAssigner::assignAll() const {
    const QWidgetList widgets = QApplication::allWidgets();
    for (QWidget* widget : widgets) assign(widget);
}

bool SkinSectionAssigner::eventFilter(QObject* watched, QEvent* event) {
    // The application sees Polish before the widget does, that is before
    // the style sheet is matched against the widget's properties.
    if (event->type() == QEvent::Polish && watched->isWidgetType()) {
        assign(static_cast<QWidget*>(watched));
    }
    return false;
}

void SkinSectionAssigner::assign(QWidget* widget) const {
    if (!widget->property(kSkinSectionProperty).isValid()) {
        const QString section = SectionFor(widget, rules_, skinnedPopups_);
        if (section.isEmpty()) return;
        widget->setProperty(kSkinSectionProperty, section);
    }
    // Windows are plain widgets to the style sheet: without this their
    // skinned background would be filled with the first colour only.
    if (widget->isWindow()) widget->setAttribute(Qt::WA_StyledBackground);
}

}  // namespace quarrow
