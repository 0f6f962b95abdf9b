#pragma once
// The constructors of the backends, one per file; only the registry calls them.
#include "background/DesktopBackend.h"

namespace gw::backends {

std::unique_ptr<DesktopBackend> rootWindow();
std::unique_ptr<DesktopBackend> gnome();
std::unique_ptr<DesktopBackend> plasma();
std::unique_ptr<DesktopBackend> xfce();
std::unique_ptr<DesktopBackend> cinnamon();
std::unique_ptr<DesktopBackend> mate();
std::unique_ptr<DesktopBackend> lxqt();
std::unique_ptr<DesktopBackend> sway();
std::unique_ptr<DesktopBackend> hyprland();
std::unique_ptr<DesktopBackend> portal();
std::unique_ptr<DesktopBackend> command();

} // namespace gw::backends
