#include "SkinManager.h"

#include "Fonts.h"
#include "SkinDescription.h"
#include "SkinFiles.h"
#include "SkinStyleSheet.h"

#include <QApplication>
#include <QFont>
#include <QPalette>
#include <QWidget>

namespace quarrow {

// Before any window exists: a font once drawn keeps the face it got.
Q_COREAPP_STARTUP_FUNCTION(InstallFontSubstitutes)

namespace {

// Taking an application style sheet away makes Qt forget what widgets
// inherit from their windows: fonts and palettes fall back to the
// application's. Widgets that set none of their own inherit again. Qt 6.4
// also loses inherited fonts when one style sheet replaces another, which
// no repair here undoes; the program applies its skin once, and loading the
// same skin again leaves the style sheet as it is.
void restoreInheritedLooks() {
    const QWidgetList widgets = QApplication::allWidgets();
    for (QWidget* widget : widgets) {
        if (widget->isWindow()) continue;
        if (!widget->testAttribute(Qt::WA_SetFont)) widget->setFont(QFont());
        if (!widget->testAttribute(Qt::WA_SetPalette)) widget->setPalette(QPalette());
    }
}

void applyStyleSheet(const QString& styleSheet) {
    if (qApp->styleSheet() == styleSheet) return;
    if (!qApp->styleSheet().isEmpty()) {
        qApp->setStyleSheet(QString());
        restoreInheritedLooks();
    }
    if (!styleSheet.isEmpty()) qApp->setStyleSheet(styleSheet);
}

}  // namespace

TsSkinManager::TsSkinManager(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("sSkinManager1"));
}

// The style sheet stays with the application: the manager lives as long as
// the main window, and repainting windows that are being destroyed would
// gain nothing.
TsSkinManager::~TsSkinManager() = default;

void TsSkinManager::setActive(bool on) {
    if (active_ == on) return;
    active_ = on;
    if (!active_) {
        dropSkin();
    } else if (!name_.isEmpty()) {
        loadSkin();
    }
}

void TsSkinManager::setSkinDirectory(const QString& folder) { directory_ = folder; }

void TsSkinManager::setSkinName(const QString& name) {
    name_ = name;
    if (active_ && !name_.isEmpty()) loadSkin();
}

QString TsSkinManager::skinInfo() const {
    return loaded_ && !version_.isEmpty() ? version_ : QStringLiteral("N/A");
}

void TsSkinManager::loadSkin() {
    const std::unique_ptr<SkinFiles> files = SkinFiles::locate(directory_, name_);
    if (!files) {
        active_ = false;
        dropSkin();
        return;
    }
    try {
        readAndApply(*files);
    } catch (...) {
        dropSkin();
        throw;
    }
}

void TsSkinManager::readAndApply(SkinFiles& files) {
    const std::optional<QByteArray> options = files.read(QStringLiteral("Options.dat"));
    if (!options) {
        throw ESkinError(QStringLiteral("The skin %1 has no Options.dat").arg(files.origin()));
    }
    const SkinDescription description =
        SkinDescription::parse(*options, files.origin() + QStringLiteral("/Options.dat"));

    SkinImages images(pictures_);
    QList<SkinLook> looks;
    QStringList rejected = description.rejected;
    for (const SkinLook& look : description.looks) {
        bool sound = true;
        for (const QString& image : look.images()) sound = images.add(files, image) && sound;
        if (sound) {
            looks.append(look);
        } else {
            rejected.append(look.objectName.isEmpty() ? look.section
                                                      : look.section + u'#' + look.objectName);
        }
    }
    const QString styleSheet = BuildSkinStyleSheet(looks, images.paths());

    if (!assigner_) {
        assigner_ = new SkinSectionAssigner(rules_, skinnedPopups_, this);
        qApp->installEventFilter(assigner_);
    }
    assigner_->assignAll();
    applyStyleSheet(styleSheet);
    version_ = description.version;
    rejected_ = rejected;
    loaded_ = true;
}

void TsSkinManager::dropSkin() {
    if (loaded_) applyStyleSheet(QString());
    loaded_ = false;
    version_.clear();
    rejected_.clear();
}

TsSkinProvider::TsSkinProvider(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("sSkinProvider1"));
    if (auto* window = qobject_cast<QWidget*>(parent)) {
        window->setProperty(kSkinSectionProperty, skinSection());
    }
}

}  // namespace quarrow
