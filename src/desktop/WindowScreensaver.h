#pragma once
// The screensaver as a program with windows learns it: the session's screensaver service,
// else the X server's screen-saver events on the window system's own connection (on xcb).
#include <functional>

namespace gw {

std::function<bool()> windowScreensaverQuery();

} // namespace gw
