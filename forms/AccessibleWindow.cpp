#include "AccessibleWindow.h"

#include <QAccessibleWidget>
#include <QWidget>

namespace quarrow {

namespace {

constexpr char kAccessibleWindow[] = "quarrowAccessibleWindow";

class AccessibleWindow : public QAccessibleWidget {
public:
    explicit AccessibleWindow(QWidget* window) : QAccessibleWidget(window, QAccessible::Window) {}

    int childCount() const override { return int(shownChildren().size()); }

    QAccessibleInterface* child(int index) const override {
        const QList<QAccessibleInterface*> children = shownChildren();
        return index >= 0 && index < children.size() ? children.at(index) : nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override {
        return int(shownChildren().indexOf(const_cast<QAccessibleInterface*>(child)));
    }

private:
    // A control hidden by itself, not merely with its window, is one that the
    // window never shows.
    QList<QAccessibleInterface*> shownChildren() const {
        QList<QAccessibleInterface*> shown;
        const int all = QAccessibleWidget::childCount();
        for (int index = 0; index < all; ++index) {
            QAccessibleInterface* child = QAccessibleWidget::child(index);
            if (child == nullptr) continue;
            const auto* control = qobject_cast<const QWidget*>(child->object());
            if (control == nullptr || !control->isHidden()) shown.append(child);
        }
        return shown;
    }
};

QAccessibleInterface* accessibleWindowFactory(const QString&, QObject* object) {
    auto* window = qobject_cast<QWidget*>(object);
    if (window == nullptr || !window->property(kAccessibleWindow).toBool()) return nullptr;
    return new AccessibleWindow(window);
}

}  // namespace

void DeclareAccessibleWindow(QWidget* window) {
    static const bool installed = [] {
        QAccessible::installFactory(&accessibleWindowFactory);
        return true;
    }();
    Q_UNUSED(installed);
    window->setProperty(kAccessibleWindow, true);
}

}  // namespace quarrow
