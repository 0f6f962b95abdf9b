#pragma once
// One backend per desktop: it shows finished pictures as that desktop's background. Each
// lives in a file of its own and is found through makeBackend (BackendRegistry.cpp).
#include "background/DesktopKind.h"
#include "background/Monitor.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

namespace gw {

// How many pictures a desktop takes and of what size.
enum class PictureLayout {
    PerMonitor, // one picture per monitor, each of its monitor's size
    Spanned, // one picture of the whole desktop's size, shown across all monitors: with several
             // monitors one picture per monitor is rendered, and they are composed into it
    OnePicture, // one picture of the first monitor's size, shown on each
    RootWindow, // the renderer paints the root window itself; with several monitors it
                // renders one picture per monitor and they are composed into the root pixmap
};

struct Picture
{
    QString monitor; // the monitor's name; "desktop" for a spanned picture
    QRect geometry; // where it lies on the desktop, in device pixels
    QString file; // empty when the renderer painted the root window itself
};

struct ApplyRequest
{
    QVector<Picture> pictures;
    QStringList command; // the "command" backend's arguments, already split
    int timeoutMs = 10000;
    int monitors = 1; // how many the desktop has: one picture is "zoom"ed on one, "spanned" over more
};

class DesktopBackend
{
public:
    virtual ~DesktopBackend() = default;
    virtual PictureLayout layout() const = 0;
    // Shows the pictures; an empty text on success, else the reason for the log.
    virtual QString apply(const ApplyRequest& request) = 0;
    // After apply() reported an error: whether the desktop may show the new pictures anyway, so
    // they must not be deleted.
    virtual bool mayShowDespiteError() const { return false; }
    // Where the desktop has a lock screen picture of its own: true, and applyLockScreen shows
    // the pictures (the same files apply got) there too.
    virtual bool hasLockScreen() const { return false; }
    virtual QString applyLockScreen(const ApplyRequest& request)
    {
        (void)request;
        return {};
    }
    // The monitors as the desktop itself lists them, where it can tell: a compositor's
    // outputs are real whatever window system Globewall itself runs on (through XWayland Qt
    // sees one screen of another name). False when the desktop cannot tell; `error` then says
    // why, or stays empty when the desktop has no such list at all.
    virtual bool listMonitors(int timeoutMs, MonitorList* monitors, QString* error)
    {
        (void)timeoutMs, (void)monitors, (void)error;
        return false;
    }
};

// The backend of a desktop; null for Automatic (detect first).
std::unique_ptr<DesktopBackend> makeBackend(DesktopKind kind);

// The pictures to render for a layout. Without any monitor (no display known) a single
// picture of 1920x1080 named "desktop". Monitors of no size are left out; where the layout
// composes one picture beyond MaxComposedPixels, only the first monitor's is rendered.
QVector<Picture> plannedPictures(PictureLayout layout, const MonitorList& monitors);

// True when the renderer's arguments already say where the picture goes or how large it is
// (-output, -geometry, -window, -root, with one or two dashes): the user's choice wins.
bool argumentsChooseOutput(const QStringList& arguments);

} // namespace gw
