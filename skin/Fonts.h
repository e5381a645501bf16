#pragma once

namespace quarrow {

// The windows keep the font families they declare. Where a family is not
// installed, it is drawn in a face of about the same widths rather than in
// whatever the desktop picks, which is often wider and cuts captions short.
void InstallFontSubstitutes();

}  // namespace quarrow
