// Hyprland: its wallpaper daemon is reached through hyprctl; a picture is loaded first, shown,
// and pictures no monitor shows any more are unloaded.
#include "background/BackendFactories.h"
#include "background/ToolRun.h"

namespace gw::backends {

namespace {

    class HyprlandBackend : public DesktopBackend
    {
    public:
        PictureLayout layout() const override { return PictureLayout::PerMonitor; }
        QString apply(const ApplyRequest& request) override
        {
            const QString tool = QStringLiteral("hyprctl");
            const QString paper = QStringLiteral("hyprpaper");
            for (const Picture& p : request.pictures) {
                ToolResult r = runTool(tool, { paper, QStringLiteral("preload"), p.file }, request.timeoutMs);
                if (r.error.isEmpty())
                    r = runTool(tool, { paper, QStringLiteral("wallpaper"), p.monitor + QLatin1Char(',') + p.file },
                        request.timeoutMs);
                if (!r.error.isEmpty())
                    return r.error;
            }
            runTool(tool, { paper, QStringLiteral("unload"), QStringLiteral("unused") }, request.timeoutMs);
            return {};
        }
    };

} // namespace

std::unique_ptr<DesktopBackend> hyprland()
{
    return std::make_unique<HyprlandBackend>();
}

} // namespace gw::backends
