#include "SkinManager.h"

namespace quarrow {

TsSkinManager::TsSkinManager(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("sSkinManager1"));
}

void TsSkinManager::setActive(bool on) {
    if (active_ == on) return;
    active_ = on;
}

void TsSkinManager::setSkinDirectory(const QString& folder) { directory_ = folder; }

void TsSkinManager::setSkinName(const QString& name) {
    name_ = name;
    if (active_ && !name_.isEmpty()) loadSkin();
}

void TsSkinManager::loadSkin() {
    // No skin engine yet: the plain look, without a message.
    active_ = false;
}

TsSkinProvider::TsSkinProvider(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("sSkinProvider1"));
}

}  // namespace quarrow
