#include "background/DesktopKind.h"

namespace gw {

const QStringList& desktopChoices()
{
    // Indexed by DesktopKind.
    static const QStringList captions = { QStringLiteral("automatic"), QStringLiteral("X root window"),
        QStringLiteral("GNOME"), QStringLiteral("KDE Plasma"), QStringLiteral("Xfce"), QStringLiteral("Cinnamon"),
        QStringLiteral("MATE"), QStringLiteral("LXQt"), QStringLiteral("sway"), QStringLiteral("Hyprland"),
        QStringLiteral("desktop portal"), QStringLiteral("command") };
    return captions;
}

QString desktopCaption(DesktopKind kind)
{
    return desktopChoices().at(static_cast<int>(kind));
}

bool desktopFromCaption(const QString& caption, DesktopKind* kind)
{
    const qsizetype index = desktopChoices().indexOf(caption.trimmed());
    *kind = index < 0 ? DesktopKind::Automatic : static_cast<DesktopKind>(index);
    return index >= 0;
}

} // namespace gw
