// Any Wayland desktop: the desktop portal's wallpaper interface takes one picture, handed over
// as an open file so the portal may read it from inside a sandbox too. Without a preview the
// portal asks nobody; its answer comes as the request's Response.
#include "background/BackendFactories.h"
#include "background/PortalRequest.h"

#include <QDBusUnixFileDescriptor>
#include <QFile>

#include <fcntl.h>
#include <unistd.h>

namespace gw::backends {

namespace {

    class PortalBackend : public DesktopBackend
    {
    public:
        PictureLayout layout() const override { return PictureLayout::OnePicture; }
        QString apply(const ApplyRequest& request) override
        {
            const QByteArray path = QFile::encodeName(request.pictures.first().file);
            const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
            if (fd < 0)
                return QStringLiteral("cannot open ") + request.pictures.first().file;
            const QDBusUnixFileDescriptor file(fd);
            ::close(fd);
            const QVariantMap options = { { QStringLiteral("set-on"), QStringLiteral("background") },
                { QStringLiteral("show-preview"), false } };
            return PortalRequest::call(QStringLiteral("org.freedesktop.portal.Wallpaper"),
                QStringLiteral("SetWallpaperFile"), { QString(), QVariant::fromValue(file), options },
                request.timeoutMs);
        }
    };

} // namespace

std::unique_ptr<DesktopBackend> portal()
{
    return std::make_unique<PortalBackend>();
}

} // namespace gw::backends
