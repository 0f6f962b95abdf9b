#include "background/DesktopDetection.h"

#include <QStringList>

namespace gw {

SessionEnvironment SessionEnvironment::fromProcess()
{
    const auto get = [](const char* name) { return qEnvironmentVariable(name); };
    return { get("XDG_CURRENT_DESKTOP"), get("XDG_SESSION_TYPE"), get("WAYLAND_DISPLAY"), get("SWAYSOCK"),
        get("HYPRLAND_INSTANCE_SIGNATURE") };
}

namespace {

    bool knownDesktop(const QString& name, DesktopKind* kind)
    {
        struct Name
        {
            const char* token;
            DesktopKind kind;
        };
        // Budgie, Unity and GNOME Flashback keep GNOME's background settings.
        static const Name names[] = {
            { "gnome", DesktopKind::Gnome },
            { "budgie", DesktopKind::Gnome },
            { "unity", DesktopKind::Gnome },
            { "gnome-flashback", DesktopKind::Gnome },
            { "kde", DesktopKind::Plasma },
            { "plasma", DesktopKind::Plasma },
            { "xfce", DesktopKind::Xfce },
            { "x-cinnamon", DesktopKind::Cinnamon },
            { "cinnamon", DesktopKind::Cinnamon },
            { "mate", DesktopKind::Mate },
            { "lxqt", DesktopKind::Lxqt },
            { "sway", DesktopKind::Sway },
            { "hyprland", DesktopKind::Hyprland },
        };
        const QString token = name.trimmed().toLower();
        for (const Name& n : names) {
            if (token == QLatin1String(n.token)) {
                *kind = n.kind;
                return true;
            }
        }
        return false;
    }

} // namespace

DesktopKind detectDesktop(const SessionEnvironment& env)
{
    // The first name the list holds that we know: "ubuntu:GNOME" is GNOME, "Budgie:GNOME" Budgie.
    for (const QString& name : env.currentDesktop.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        DesktopKind kind;
        if (knownDesktop(name, &kind))
            return kind;
    }
    if (!env.hyprlandSignature.isEmpty())
        return DesktopKind::Hyprland;
    if (!env.swaySocket.isEmpty())
        return DesktopKind::Sway;
    const bool wayland = env.sessionType.compare(QLatin1String("wayland"), Qt::CaseInsensitive) == 0
        || (env.sessionType.isEmpty() && !env.waylandDisplay.isEmpty());
    return wayland ? DesktopKind::Portal : DesktopKind::RootWindow;
}

} // namespace gw
