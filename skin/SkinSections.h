#pragma once

#include <QFlags>
#include <QObject>
#include <QString>

class QWidget;

namespace quarrow {

// Which widgets the skin paints besides those that name their section.
enum class SkinningRule {
    StdForms = 0x1,    // windows without a skin provider of their own: "FORM"
    StdDialogs = 0x2,  // message dialogs "FORM", desktop message boxes "DIALOG"
    ThirdParty = 0x4,  // standard controls of the class lists
};
Q_DECLARE_FLAGS(SkinningRules, SkinningRule)
Q_DECLARE_OPERATORS_FOR_FLAGS(SkinningRules)

// The dynamic property that names a widget's skin section.
inline const char* const kSkinSectionProperty = "skinSection";

// The section the skin gives `widget` when it names none itself; empty when
// the skin leaves it alone (labels, pictures, tooltips, scroll bars).
QString SectionFor(const QWidget* widget, SkinningRules rules, bool skinnedPopups);

// While installed on the application, gives every widget that is about to
// be polished its section, before the style sheet looks at it: windows,
// dialogs and menus created at any time take the skin.
class SkinSectionAssigner : public QObject {
    Q_OBJECT
public:
    SkinSectionAssigner(SkinningRules rules, bool skinnedPopups, QObject* parent = nullptr);

    // Gives every existing widget its section.
    void assignAll() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void assign(QWidget* widget) const;

    SkinningRules rules_;
    bool skinnedPopups_;
};

}  // namespace quarrow
