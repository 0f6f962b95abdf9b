#pragma once
// A colour value as the settings and the renderer's configuration hold it: red in the lowest
// byte, then green, then blue; bytes above blue are ignored.
#include <QColor>

namespace gw {

QColor colorToQColor(int color);
int qColorToColor(const QColor& color);

} // namespace gw
