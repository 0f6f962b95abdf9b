// GNOME and Budgie: one picture, spanned over all monitors; dark mode reads only its own key.
#include "background/BackendFactories.h"
#include "background/GSettingsTool.h"

#include <QUrl>

namespace gw::backends {

namespace {

    class GnomeBackend : public DesktopBackend
    {
    public:
        PictureLayout layout() const override { return PictureLayout::Spanned; }
        QString apply(const ApplyRequest& request) override
        {
            const Picture& p = request.pictures.first();
            const QString uri = gvariantString(QUrl::fromLocalFile(p.file).toString(QUrl::FullyEncoded));
            const QString options = spanOption(request.monitors);
            return writeGSettings(
                { QStringLiteral("org.gnome.desktop.background"),
                    { { QStringLiteral("picture-options"), options }, { QStringLiteral("picture-uri"), uri },
                        { QStringLiteral("picture-uri-dark"), uri } },
                    QStringLiteral("picture-uri") },
                request.timeoutMs);
        }
    };

} // namespace

std::unique_ptr<DesktopBackend> gnome()
{
    return std::make_unique<GnomeBackend>();
}

} // namespace gw::backends
