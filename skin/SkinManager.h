#pragma once

#include "SkinImages.h"
#include "SkinSections.h"
#include "ThirdParty.h"

#include <QColor>
#include <QFont>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

namespace quarrow {

class SkinFiles;

// The look of skinned menus. The program has no menus of its own; the
// window menus that the desktop shows keep it.
struct TsMenuSupport {
    QString icoLineSkin = QStringLiteral("ICOLINE");
    QFont extraLineFont = QFont(QStringLiteral("MS Sans Serif"), 8);
    QColor extraLineFontColor = QColor(Qt::black);
    bool useExtraLine = false;
    int extraLineWidth = 32;
};

// The skin engine's manager: while on, setting the skin name looks the skin
// up in the skin folder, loads it and applies it to the whole application,
// to every window, dialog and menu that exists or is created later.
class TsSkinManager : public QObject {
    Q_OBJECT
public:
    explicit TsSkinManager(QObject* parent = nullptr);
    ~TsSkinManager() override;

    bool active() const { return active_; }
    // Switching on loads the named skin, switching off drops it.
    void setActive(bool on);
    const QString& skinDirectory() const { return directory_; }
    // Only records the folder: nothing is loaded.
    void setSkinDirectory(const QString& folder);
    const QString& skinName() const { return name_; }
    // While on, loads the skin <folder>/<name>.asz, else <folder>/<name>/
    // Options.dat. When there is neither, switches off without a message and
    // leaves the plain look. A skin that cannot be read throws ESkinError and
    // leaves the plain look too.
    void setSkinName(const QString& name);

    // The loaded skin's version, "N/A" while none is loaded.
    QString skinInfo() const;
    bool skinLoaded() const { return loaded_; }
    // Sections that the loaded skin describes badly; their controls keep the
    // plain look.
    const QStringList& rejectedSections() const { return rejected_; }

    // No skin is stored inside the program.
    QStringList internalSkins() const { return {}; }
    const TsMenuSupport& menuSupport() const { return menuSupport_; }
    const ThirdPartyLists& thirdParty() const { return ThirdParty(); }
    SkinningRules skinningRules() const { return rules_; }
    bool skinnedPopups() const { return skinnedPopups_; }

private:
    void loadSkin();
    void readAndApply(SkinFiles& files);
    void dropSkin();

    bool active_ = true;
    QString directory_ = QStringLiteral("c:\\Skins");
    QString name_;
    TsMenuSupport menuSupport_;
    SkinningRules rules_ =
        SkinningRule::StdForms | SkinningRule::StdDialogs | SkinningRule::ThirdParty;
    bool skinnedPopups_ = true;

    bool loaded_ = false;
    QString version_;
    QStringList rejected_;
    // The skins' pictures, for as long as a style sheet may point at them.
    SkinPictureFiles pictures_;
    QPointer<SkinSectionAssigner> assigner_;
};

// Paints a window's frame and background in the skin section it names: the
// window it belongs to carries that section.
class TsSkinProvider : public QObject {
    Q_OBJECT
public:
    explicit TsSkinProvider(QObject* parent = nullptr);
    QString skinSection() const { return QStringLiteral("FORM"); }
};

}  // namespace quarrow
