#include "Artwork.h"

// Resources of a static library are registered only when asked for.
static void registerArtwork() { Q_INIT_RESOURCE(Artwork); }

namespace quarrow {

QPixmap MakerLogo() {
    registerArtwork();
    return QPixmap(QStringLiteral(":/artwork/logo.jpg"), "JPEG");
}

QIcon ProgramIcon() {
    registerArtwork();
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 96, 128, 256}) {
        icon.addFile(QStringLiteral(":/artwork/quarrow-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

}  // namespace quarrow
