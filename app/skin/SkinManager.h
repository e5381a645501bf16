#pragma once

#include <QObject>
#include <QString>

namespace quarrow {

// The skin engine's manager: while on, setting the skin name looks the skin
// up in the skin folder, loads it and applies it to the whole application.
class TsSkinManager : public QObject {
    Q_OBJECT
public:
    explicit TsSkinManager(QObject* parent = nullptr);

    bool active() const { return active_; }
    void setActive(bool on);
    const QString& skinDirectory() const { return directory_; }
    void setSkinDirectory(const QString& folder);
    const QString& skinName() const { return name_; }
    void setSkinName(const QString& name);

private:
    void loadSkin();

    bool active_ = true;
    QString directory_ = QStringLiteral("c:\\Skins");
    QString name_;
};

// Paints a window's frame and background in the skin section it names.
class TsSkinProvider : public QObject {
    Q_OBJECT
public:
    explicit TsSkinProvider(QObject* parent = nullptr);
    QString skinSection() const { return QStringLiteral("FORM"); }
};

}  // namespace quarrow
