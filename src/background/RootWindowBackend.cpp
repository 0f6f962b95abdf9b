// Bare X: the root window. The renderer paints it itself on one monitor; with several, each
// monitor's picture is composed into one pixmap. Either way that pixmap is kept by the server
// and named in _XROOTPMAP_ID and ESETROOT_PMAP_ID, where compositors and transparent terminals
// look for the background (without them a compositor shows black).
#include "background/BackendFactories.h"
#include "background/PngRead.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace gw::backends {

namespace {

    class RootWindowBackend : public DesktopBackend
    {
    public:
        PictureLayout layout() const override { return PictureLayout::RootWindow; }

        QString apply(const ApplyRequest& request) override
        {
            QVector<RgbPicture> decoded;
            for (const Picture& p : request.pictures) {
                if (p.file.isEmpty())
                    continue;
                RgbPicture picture;
                QString error;
                if (!readPng(p.file, &picture, &error))
                    return error;
                decoded.push_back(std::move(picture));
            }

            Display* display = XOpenDisplay(nullptr);
            if (!display)
                return QStringLiteral("cannot open the X display \"") + qEnvironmentVariable("DISPLAY")
                    + QLatin1Char('"');
            const int screen = DefaultScreen(display);
            const Window root = RootWindow(display, screen);
            const unsigned width = static_cast<unsigned>(DisplayWidth(display, screen));
            const unsigned height = static_cast<unsigned>(DisplayHeight(display, screen));
            const unsigned depth = static_cast<unsigned>(DefaultDepth(display, screen));
            const Pixmap pixmap = XCreatePixmap(display, root, width, height, depth);
            GC gc = XCreateGC(display, pixmap, 0, nullptr);

            if (decoded.isEmpty()) {
                // What the renderer just painted.
                XCopyArea(display, root, pixmap, gc, 0, 0, width, height, 0, 0);
            } else {
                XSetForeground(display, gc, BlackPixel(display, screen));
                XFillRectangle(display, pixmap, gc, 0, 0, width, height);
                int index = 0;
                for (const Picture& p : request.pictures) {
                    if (p.file.isEmpty())
                        continue;
                    putPicture(display, screen, pixmap, gc, decoded.at(index++), p.geometry.topLeft());
                }
                XSetWindowBackgroundPixmap(display, root, pixmap);
                XClearWindow(display, root);
            }
            XFreeGC(display, gc);
            setRootProperties(display, root, pixmap);
            // The pixmap outlives this connection; the next switch frees it (setRootProperties).
            XSetCloseDownMode(display, RetainPermanent);
            XCloseDisplay(display);
            return {};
        }

    private:
        static void putPicture(Display* display, int screen, Pixmap pixmap, GC gc, const RgbPicture& picture, QPoint at)
        {
            Visual* visual = DefaultVisual(display, screen);
            const unsigned depth = static_cast<unsigned>(DefaultDepth(display, screen));
            XImage* image = XCreateImage(display, visual, depth, ZPixmap, 0, nullptr,
                static_cast<unsigned>(picture.width), static_cast<unsigned>(picture.height), 32, 0);
            if (!image)
                return;
            image->data = static_cast<char*>(std::malloc(static_cast<size_t>(image->bytes_per_line) * picture.height));
            const auto shift = [](unsigned long mask) {
                int s = 0;
                while (mask && !(mask & 1)) {
                    mask >>= 1;
                    ++s;
                }
                return s;
            };
            const int rs = shift(visual->red_mask), gs = shift(visual->green_mask), bs = shift(visual->blue_mask);
            const auto* rgb = reinterpret_cast<const unsigned char*>(picture.rgb.constData());
            for (int y = 0; y < picture.height; ++y) {
                for (int x = 0; x < picture.width; ++x) {
                    const unsigned char* px = rgb + (static_cast<qsizetype>(y) * picture.width + x) * 3;
                    const unsigned long value = ((static_cast<unsigned long>(px[0]) << rs) & visual->red_mask)
                        | ((static_cast<unsigned long>(px[1]) << gs) & visual->green_mask)
                        | ((static_cast<unsigned long>(px[2]) << bs) & visual->blue_mask);
                    XPutPixel(image, x, y, value);
                }
            }
            XPutImage(display, pixmap, gc, image, 0, 0, at.x(), at.y(), static_cast<unsigned>(picture.width),
                static_cast<unsigned>(picture.height));
            XDestroyImage(image);
        }

        static void setRootProperties(Display* display, Window root, Pixmap pixmap)
        {
            const Atom rootId = XInternAtom(display, "_XROOTPMAP_ID", False);
            const Atom setrootId = XInternAtom(display, "ESETROOT_PMAP_ID", False);
            // When both name the same pixmap, a program like this one kept it: free it now.
            const auto read = [&](Atom atom) -> Pixmap {
                Atom type = None;
                int format = 0;
                unsigned long count = 0, after = 0;
                unsigned char* data = nullptr;
                Pixmap value = None;
                if (XGetWindowProperty(
                        display, root, atom, 0, 1, False, XA_PIXMAP, &type, &format, &count, &after, &data)
                        == Success
                    && type == XA_PIXMAP && format == 32 && count == 1)
                    value = *reinterpret_cast<Pixmap*>(data);
                if (data)
                    XFree(data);
                return value;
            };
            const Pixmap old = read(rootId);
            if (old != None && old == read(setrootId))
                XKillClient(display, old);
            XChangeProperty(display, root, rootId, XA_PIXMAP, 32, PropModeReplace,
                reinterpret_cast<const unsigned char*>(&pixmap), 1);
            XChangeProperty(display, root, setrootId, XA_PIXMAP, 32, PropModeReplace,
                reinterpret_cast<const unsigned char*>(&pixmap), 1);
            XFlush(display);
        }
    };

} // namespace

std::unique_ptr<DesktopBackend> rootWindow()
{
    return std::make_unique<RootWindowBackend>();
}

} // namespace gw::backends
