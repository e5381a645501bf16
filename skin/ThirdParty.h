#pragma once

#include <QLatin1String>
#include <QString>
#include <array>

namespace quarrow {

// One list of standard control classes that the skin paints with a section
// of its own although they name none.
struct ThirdPartyList {
    QLatin1String name;
    // The toolkit class names as declared, separated by CR LF.
    QLatin1String classes;
    // The Qt classes that stand for them here, separated by CR LF. A class
    // matches only itself, never a class derived from it.
    QLatin1String qtClasses;
    QLatin1String section;
};

using ThirdPartyLists = std::array<ThirdPartyList, 13>;

const ThirdPartyLists& ThirdParty();

// The section of a widget whose class is exactly `className`, or an empty
// text when no list holds it.
QString ThirdPartySection(const char* className);

}  // namespace quarrow
