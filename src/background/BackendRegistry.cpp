// The one table from desktop to backend, and the plan of pictures a layout needs.
#include "background/BackendFactories.h"

namespace gw {

std::unique_ptr<DesktopBackend> makeBackend(DesktopKind kind)
{
    using Factory = std::unique_ptr<DesktopBackend> (*)();
    struct Row
    {
        DesktopKind kind;
        Factory make;
    };
    static const Row rows[] = {
        { DesktopKind::RootWindow, backends::rootWindow },
        { DesktopKind::Gnome, backends::gnome },
        { DesktopKind::Plasma, backends::plasma },
        { DesktopKind::Xfce, backends::xfce },
        { DesktopKind::Cinnamon, backends::cinnamon },
        { DesktopKind::Mate, backends::mate },
        { DesktopKind::Lxqt, backends::lxqt },
        { DesktopKind::Sway, backends::sway },
        { DesktopKind::Hyprland, backends::hyprland },
        { DesktopKind::Portal, backends::portal },
        { DesktopKind::Command, backends::command },
    };
    for (const Row& row : rows)
        if (row.kind == kind)
            return row.make();
    return nullptr;
}

QRect desktopRect(const MonitorList& monitors)
{
    QRect all;
    for (const Monitor& m : monitors)
        if (!m.geometry.isEmpty())
            all = all.united(m.geometry);
    return all;
}

bool composedTooLarge(const MonitorList& monitors)
{
    const QRect all = desktopRect(monitors);
    return qint64(all.width()) * all.height() > MaxComposedPixels;
}

QVector<Picture> plannedPictures(PictureLayout layout, const MonitorList& listed)
{
    const QString whole = QStringLiteral("desktop");
    // The renderer cannot draw a picture of no size; such a monitor shows nothing anyway.
    MonitorList monitors;
    for (const Monitor& m : listed)
        if (!m.geometry.isEmpty())
            monitors.push_back(m);
    // Too large to compose: the first (primary) monitor's picture, which the desktop spans.
    const bool composes = layout == PictureLayout::Spanned || layout == PictureLayout::RootWindow;
    if (composes && composedTooLarge(monitors))
        monitors.resize(1);
    if (monitors.isEmpty())
        return { { whole, QRect(0, 0, 1920, 1080), {} } };
    switch (layout) {
    case PictureLayout::OnePicture:
        return { { monitors.first().name, monitors.first().geometry, {} } };
    case PictureLayout::Spanned:
    case PictureLayout::RootWindow:
        // Both compose one picture per monitor; one monitor's picture is the whole.
        if (monitors.size() == 1)
            return { { layout == PictureLayout::Spanned ? whole : monitors.first().name, monitors.first().geometry,
                {} } };
        [[fallthrough]];
    case PictureLayout::PerMonitor:
        break;
    }
    QVector<Picture> pictures;
    for (const Monitor& m : monitors)
        pictures.push_back({ m.name, m.geometry, {} });
    return pictures;
}

} // namespace gw
