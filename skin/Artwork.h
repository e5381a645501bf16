#pragma once

#include <QIcon>
#include <QPixmap>

namespace quarrow {

// The maker's logo of the main window: a JPEG of 209 x 89 pixels.
QPixmap MakerLogo();

// The program's icon, in every size it is drawn in (16 to 256 pixels).
QIcon ProgramIcon();

}  // namespace quarrow
