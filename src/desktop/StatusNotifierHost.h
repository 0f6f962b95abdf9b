#pragma once
// Whether this program's tray icon is a StatusNotifierItem shown by a host over D-Bus (Plasma,
// GNOME's AppIndicator extension, Xfce's status-notifier plugin, Wayland panels) rather than
// an icon embedded in an X11 notification area. The two report clicks differently: a host
// sends Activate for a click and never a double click.
namespace gw {

bool trayOnStatusNotifierHost();

} // namespace gw
