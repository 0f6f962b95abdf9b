#pragma once
// The tray's globe as a vector drawing (SVG), for the icon of the installed program: the same
// land cells, tilt, colours and light as drawGlobe, so the menu and the tray show one globe.
#include <QByteArray>

namespace gw {

// An SVG document `size` units square, showing the globe turned by `turnDegrees`.
QByteArray globeSvg(int size, double turnDegrees = 0.0);

} // namespace gw
