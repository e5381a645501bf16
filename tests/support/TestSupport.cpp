#include "TestSupport.h"

#include "shell/OpenInShell.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace quarrow::test {

namespace {

QWidget* pendingDialog(const QSet<QWidget*>& before) {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr && modal->isVisible() && qobject_cast<QDialog*>(modal) != nullptr &&
        !before.contains(modal)) {
        return modal;
    }
    return nullptr;
}

QSet<QWidget*> visibleDialogs() {
    QSet<QWidget*> result;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && qobject_cast<QDialog*>(w) != nullptr) result.insert(w);
    }
    return result;
}

}  // namespace

SeenDialog Describe(QWidget* dialog) {
    SeenDialog seen;
    seen.seen = true;
    seen.objectName = dialog->objectName();
    seen.title = dialog->windowTitle();
    if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
        seen.text = box->property("messageText").isValid() ? box->property("messageText").toString()
                                                           : box->text();
        seen.icon = box->icon();
    } else if (auto* label = dialog->findChild<QLabel*>(QStringLiteral("Message"))) {
        seen.text = label->property("messageText").isValid()
                        ? label->property("messageText").toString()
                        : label->text();
        seen.icon = dialog->property("iconKind").toInt();
    }
    QList<QAbstractButton*> buttons = dialog->findChildren<QAbstractButton*>();
    std::sort(buttons.begin(), buttons.end(), [](QAbstractButton* a, QAbstractButton* b) {
        return a->mapToGlobal(QPoint()).x() < b->mapToGlobal(QPoint()).x();
    });
    for (QAbstractButton* button : buttons) {
        if (!button->isVisible()) continue;
        seen.buttons.append(button->text());
        auto* push = qobject_cast<QPushButton*>(button);
        if (push != nullptr && push->isDefault()) seen.defaultButton = push->text();
    }
    return seen;
}

void WhenNextDialogAppears(std::function<void(QWidget*)> action) {
    const QSet<QWidget*> before = visibleDialogs();
    // Owned by the application, so a timer still waiting when the program ends is freed.
    auto* timer = new QTimer(QCoreApplication::instance());
    auto started = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, before, action, started] {
        if (QWidget* dialog = pendingDialog(before)) {
            timer->stop();
            timer->deleteLater();
            action(dialog);
            return;
        }
        if (++*started > 1000) {  // about ten seconds
            timer->stop();
            timer->deleteLater();
            qWarning("No dialog appeared");
        }
    });
    timer->start(10);
}

std::shared_ptr<SeenDialog> AnswerNextDialog(const QString& caption) {
    auto seen = std::make_shared<SeenDialog>();
    WhenNextDialogAppears([seen, caption](QWidget* dialog) {
        *seen = Describe(dialog);
        if (caption.isEmpty()) {
            QTest::keyClick(dialog, Qt::Key_Escape);
            return;
        }
        for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>()) {
            if (button->text() == caption && button->isVisible()) {
                QTest::mouseClick(button, Qt::LeftButton);
                return;
            }
        }
        qWarning("Dialog has no button %s", qPrintable(caption));
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    return seen;
}

RecordingLauncher::RecordingLauncher() {
    SetShellLauncher([this](const QString& target) { targets.append(target); });
}

RecordingLauncher::~RecordingLauncher() { SetShellLauncher({}); }

TemporaryCurrentFolder::TemporaryCurrentFolder() : previous_(QDir::currentPath()) {
    QDir::setCurrent(dir_.path());
}

TemporaryCurrentFolder::~TemporaryCurrentFolder() { QDir::setCurrent(previous_); }

QStringList DriverCatalogueColumns() {
    return {QStringLiteral("Наименование"), QStringLiteral("Устройство"), QStringLiteral("os"),
            QStringLiteral("Размер"),       QStringLiteral("Версия"),     QStringLiteral("url"),
            QStringLiteral("URLdr"),        QStringLiteral("ver")};
}

QString BuildDir() { return qEnvironmentVariable("QUARROW_BUILD_DIR"); }

bool FilePermissionsBind() {
    static const bool bind = [] {
        QTemporaryDir folder;
        const QString probe = folder.filePath(QStringLiteral("probe"));
        QFile file(probe);
        if (!file.open(QIODevice::WriteOnly)) return true;
        file.close();
        QFile::setPermissions(probe, QFile::ReadOwner | QFile::ReadUser);
        const bool refused = !file.open(QIODevice::ReadWrite);
        file.close();
        QFile::setPermissions(probe, QFile::ReadOwner | QFile::WriteOwner);
        return refused;
    }();
    return bind;
}

ShownDialogs::ShownDialogs(bool closeEach) : closeEach_(closeEach) {
    qApp->installEventFilter(this);
}

ShownDialogs::~ShownDialogs() { qApp->removeEventFilter(this); }

bool ShownDialogs::eventFilter(QObject* watched, QEvent* event) {
    auto* dialog = qobject_cast<QDialog*>(watched);
    if (event->type() == QEvent::Show && dialog != nullptr && dialog->isWindow()) {
        dialogs.append(Describe(dialog));
        if (closeEach_) QMetaObject::invokeMethod(dialog, &QDialog::reject, Qt::QueuedConnection);
    }
    return false;
}

}  // namespace quarrow::test
