// GNOME and Budgie: one picture, spanned over all monitors; dark mode reads only its own key.
// The lock screen has its own keys in the screensaver's schema.
#include "background/BackendFactories.h"
#include "background/GSettingsTool.h"

#include <QUrl>

namespace gw::backends {

namespace {

    class GnomeBackend : public GSettingsBackend
    {
    public:
        PictureLayout layout() const override { return PictureLayout::Spanned; }
        QString apply(const ApplyRequest& request) override
        {
            const QString uri = uriOf(request);
            return writeKeys(
                { QStringLiteral("org.gnome.desktop.background"),
                    { { QStringLiteral("picture-options"), spanOption(request.monitors) },
                        { QStringLiteral("picture-uri"), uri }, { QStringLiteral("picture-uri-dark"), uri } },
                    QStringLiteral("picture-uri") },
                request.timeoutMs);
        }
        bool hasLockScreen() const override { return true; }
        QString applyLockScreen(const ApplyRequest& request) override
        {
            return writeKeys({ QStringLiteral("org.gnome.desktop.screensaver"),
                                 { { QStringLiteral("picture-options"), spanOption(request.monitors) },
                                     { QStringLiteral("picture-uri"), uriOf(request) } },
                                 QStringLiteral("picture-uri") },
                request.timeoutMs);
        }

    private:
        static QString uriOf(const ApplyRequest& request)
        {
            return gvariantString(QUrl::fromLocalFile(request.pictures.first().file).toString(QUrl::FullyEncoded));
        }
    };

} // namespace

std::unique_ptr<DesktopBackend> gnome()
{
    return std::make_unique<GnomeBackend>();
}

} // namespace gw::backends
