#pragma once
// Where the rendered picture goes: the choices of "Desktop background" and their captions.
#include <QString>
#include <QStringList>

namespace gw {

enum class DesktopKind {
    Automatic,
    RootWindow,
    Gnome,
    Plasma,
    Xfce,
    Cinnamon,
    Mate,
    Lxqt,
    Sway,
    Hyprland,
    Portal,
    Command,
};

// The captions in the order the choice offers them, "automatic" first.
const QStringList& desktopChoices();
// The caption of a kind ("Xfce", "X root window", ...).
QString desktopCaption(DesktopKind kind);
// The kind a caption names; false (and Automatic) for a text that names none.
bool desktopFromCaption(const QString& caption, DesktopKind* kind);

} // namespace gw
