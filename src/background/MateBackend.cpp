// MATE: a plain path rather than a URI, one picture spanned.
#include "background/BackendFactories.h"
#include "background/GSettingsTool.h"

namespace gw::backends {

namespace {

    class MateBackend : public DesktopBackend
    {
    public:
        PictureLayout layout() const override { return PictureLayout::Spanned; }
        QString apply(const ApplyRequest& request) override
        {
            return writeGSettings(
                { QStringLiteral("org.mate.background"),
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
