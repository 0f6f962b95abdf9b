#pragma once
// Which desktop the session runs, from the variables every session sets. A pure function of
// the values, so the rules are tested as a table.
#include "background/DesktopKind.h"

#include <QString>

namespace gw {

struct SessionEnvironment
{
    QString currentDesktop; // XDG_CURRENT_DESKTOP, a colon-separated list
    QString sessionType; // XDG_SESSION_TYPE
    QString waylandDisplay; // WAYLAND_DISPLAY
    QString swaySocket; // SWAYSOCK
    QString hyprlandSignature; // HYPRLAND_INSTANCE_SIGNATURE

    static SessionEnvironment fromProcess();
};

// Never Automatic or Command. An X11 session of no known desktop keeps the root window; an
// unknown Wayland desktop gets the desktop portal.
DesktopKind detectDesktop(const SessionEnvironment& env);

} // namespace gw
