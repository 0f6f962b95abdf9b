// What "automatic" finds from the session's variables.
#include "background/DesktopDetection.h"

#include <gtest/gtest.h>

using gw::DesktopKind;

TEST(Detection, SessionVariablesGiveTheDesktop)
{
    struct Row
    {
        const char* name;
        gw::SessionEnvironment env;
        DesktopKind expected;
    };
    const auto env = [](const char* desktop, const char* type, const char* wayland = "", const char* sway = "",
                         const char* hypr = "") {
        return gw::SessionEnvironment { desktop, type, wayland, sway, hypr };
    };
    const Row rows[] = {
        { "Ubuntu's GNOME", env("ubuntu:GNOME", "wayland", "wayland-0"), DesktopKind::Gnome },
        { "Budgie names GNOME second", env("Budgie:GNOME", "x11"), DesktopKind::Gnome },
        { "GNOME Flashback", env("GNOME-Flashback:GNOME", "x11"), DesktopKind::Gnome },
        { "Plasma on Wayland", env("KDE", "wayland", "wayland-0"), DesktopKind::Plasma },
        { "Xfce in capitals", env("XFCE", "x11"), DesktopKind::Xfce },
        { "Cinnamon's X- name", env("X-Cinnamon", "x11"), DesktopKind::Cinnamon },
        { "MATE", env("MATE", "x11"), DesktopKind::Mate },
        { "LXQt", env("LXQt", "x11"), DesktopKind::Lxqt },
        { "sway by name", env("sway", "wayland", "wayland-1"), DesktopKind::Sway },
        { "sway by its socket only", env("", "wayland", "wayland-1", "/run/user/1000/sway-ipc.sock"),
            DesktopKind::Sway },
        { "Hyprland by its signature", env("", "wayland", "wayland-1", "", "abc_123"), DesktopKind::Hyprland },
        { "an unknown name before a known one", env("Foo:XFCE", "x11"), DesktopKind::Xfce },
        { "unknown desktop on X11 keeps the root window", env("i3", "x11"), DesktopKind::RootWindow },
        { "nothing set at all", env("", ""), DesktopKind::RootWindow },
        { "unknown desktop on Wayland gets the portal", env("niri", "wayland", "wayland-1"), DesktopKind::Portal },
        { "Wayland known by its display alone", env("", "", "wayland-0"), DesktopKind::Portal },
        { "X11 session type wins over a stray display variable", env("", "x11", "wayland-0"), DesktopKind::RootWindow },
    };
    for (const Row& row : rows)
        EXPECT_EQ(gw::detectDesktop(row.env), row.expected) << row.name;
}

TEST(Detection, EveryCaptionNamesItsKind)
{
    for (const QString& caption : gw::desktopChoices()) {
        DesktopKind kind;
        ASSERT_TRUE(gw::desktopFromCaption(caption, &kind)) << caption.toStdString();
        EXPECT_EQ(gw::desktopCaption(kind), caption);
    }
    DesktopKind kind = DesktopKind::Xfce;
    EXPECT_FALSE(gw::desktopFromCaption(QStringLiteral("Enlightenment"), &kind));
    EXPECT_EQ(kind, DesktopKind::Automatic) << "an unknown text is treated as automatic";
}
