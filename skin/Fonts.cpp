#include "Fonts.h"

#include <QFont>
#include <QStringList>

namespace quarrow {

void InstallFontSubstitutes() {
    // The old dialog faces are about as wide as Arial; Liberation Sans has
    // Arial's widths.
    const QStringList arialWidths{QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                                  QStringLiteral("Arimo")};
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               QStringList{QStringLiteral("Microsoft Sans Serif")} + arialWidths);
    QFont::insertSubstitutions(QStringLiteral("Microsoft Sans Serif"), arialWidths);
}

}  // namespace quarrow
