#include "AboutText.h"

#include "shell/Endpoints.h"

namespace quarrow {

QStringList AboutTextLines() {
    return {
        QStringLiteral("Текущая версия базы:"),
        QString(),
        QStringLiteral("Quarrow v1.3"),
        QStringLiteral("Программа поиска драйверов"),
        QString(),
        QStringLiteral("Автор: команда Ostrel"),
        QStringLiteral("Страна: Россия"),
        QStringLiteral("Город: Самара"),
        QStringLiteral("Сайт: ") + HomeHost(),
        QStringLiteral("Mail: info@") + HomeHost(),
        QStringLiteral("ICQ: 314159265"),
        QString(),
        QStringLiteral("Особая благодарность журналистам:"),
        QString(),
        QStringLiteral("    DriverDigest   (Андрей)"),
        QString(),
        QStringLiteral("         HardNews   (Мария)"),
        QString(),
        QStringLiteral("Спасибо всем, кто присылает ссылки на драйверы!"),
    };
}

}  // namespace quarrow
