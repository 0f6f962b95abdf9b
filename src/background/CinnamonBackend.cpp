// Cinnamon: its own copy of GNOME's background settings, one picture spanned. Its lock
// screen shows the desktop's background: its screensaver has no picture of its own.
#include "background/BackendFactories.h"
#include "background/GSettingsTool.h"

#include <QUrl>

namespace gw::backends {

namespace {

    class CinnamonBackend : public GSettingsBackend
    {
    public:
        PictureLayout layout() const override { return PictureLayout::Spanned; }
        QString apply(const ApplyRequest& request) override
        {
            const QString uri
                = gvariantString(QUrl::fromLocalFile(request.pictures.first().file).toString(QUrl::FullyEncoded));
            return writeKeys({ QStringLiteral("org.cinnamon.desktop.background"),
                                 { { QStringLiteral("picture-options"), spanOption(request.monitors) },
                                     { QStringLiteral("picture-uri"), uri } },
                                 QStringLiteral("picture-uri") },
                request.timeoutMs);
        }
        // Nothing more to write: the lock screen follows the desktop.
        bool hasLockScreen() const override { return true; }
    };

} // namespace

std::unique_ptr<DesktopBackend> cinnamon()
{
    return std::make_unique<CinnamonBackend>();
}

} // namespace gw::backends
