#pragma once
// The screensaver as a program with windows learns it: the desktops' screensaver services and
// the login session, and the X server's screen-saver events on the window system's own
// connection (on xcb).
#include <functional>
#include <memory>

namespace gw {

class PlatformScreensaver;

std::shared_ptr<PlatformScreensaver> windowScreensaver();
std::function<bool()> windowScreensaverQuery();

} // namespace gw
