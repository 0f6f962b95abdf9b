// LXQt: its desktop (pcmanfm-qt) has no bus interface for this, only its command line, which
// hands the picture to the running desktop.
#include "background/BackendFactories.h"
#include "background/ToolRun.h"

namespace gw::backends {

namespace {

    class LxqtBackend : public DesktopBackend
    {
    public:
        PictureLayout layout() const override { return PictureLayout::OnePicture; }
        QString apply(const ApplyRequest& request) override
        {
            return runTool(QStringLiteral("pcmanfm-qt"),
                { QStringLiteral("--set-wallpaper=") + request.pictures.first().file,
                    QStringLiteral("--wallpaper-mode=zoom") },
                request.timeoutMs)
                .error;
        }
    };

} // namespace

std::unique_ptr<DesktopBackend> lxqt()
{
    return std::make_unique<LxqtBackend>();
}

} // namespace gw::backends
