// MATE: a plain path rather than a URI, one picture spanned; its screensaver has a picture
// key of the same kind for the lock screen.
#include "background/BackendFactories.h"
#include "background/GSettingsTool.h"

namespace gw::backends {

namespace {

    class MateBackend : public GSettingsBackend
    {
    public:
        PictureLayout layout() const override { return PictureLayout::Spanned; }
        QString apply(const ApplyRequest& request) override
        {
            return write(QStringLiteral("org.mate.background"), request);
        }
        bool hasLockScreen() const override { return true; }
        QString applyLockScreen(const ApplyRequest& request) override
        {
            return write(QStringLiteral("org.mate.screensaver"), request);
        }

    private:
        // The lock screen's schema has no picture-options: that key is skipped there.
        QString write(const QString& schema, const ApplyRequest& request)
        {
            return writeKeys(
                { schema,
                    { { QStringLiteral("picture-options"), spanOption(request.monitors) },
                        { QStringLiteral("picture-filename"), gvariantString(request.pictures.first().file) } },
                    QStringLiteral("picture-filename") },
                request.timeoutMs);
        }
    };

} // namespace

std::unique_ptr<DesktopBackend> mate()
{
    return std::make_unique<MateBackend>();
}

} // namespace gw::backends
