// Hyprland: its wallpaper daemon is reached through hyprctl; a picture is loaded first, shown,
// and pictures no monitor shows any more are unloaded. The monitors are hyprctl's too.
#include "background/BackendFactories.h"
#include "background/ToolRun.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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

        // "width" and "height" are the mode's pixels before the monitor's rotation ("transform"
        // 1, 3, 5 and 7 turn it a quarter); "x" and "y" are logical pixels, as the scale divides.
        bool listMonitors(int timeoutMs, MonitorList* monitors, QString* error) override
        {
            const ToolResult r
                = runTool(QStringLiteral("hyprctl"), { QStringLiteral("monitors"), QStringLiteral("-j") }, timeoutMs);
            *error = r.error;
            if (!error->isEmpty())
                return false;
            const QJsonDocument document = QJsonDocument::fromJson(r.output);
            if (r.outputCut || !document.isArray()) {
                *error = QStringLiteral("hyprctl's list of monitors is no JSON list");
                return false;
            }
            for (const QJsonValue& v : document.array()) {
                const QJsonObject o = v.toObject();
                if (o.value(QStringLiteral("disabled")).toBool())
                    continue;
                const double scale = std::max(o.value(QStringLiteral("scale")).toDouble(1.0), 0.1);
                QSize size(o.value(QStringLiteral("width")).toInt(), o.value(QStringLiteral("height")).toInt());
                if (o.value(QStringLiteral("transform")).toInt() % 2 == 1)
                    size.transpose();
                monitors->push_back({ o.value(QStringLiteral("name")).toString(),
                    QRect(QPoint(qRound(o.value(QStringLiteral("x")).toDouble() * scale),
                              qRound(o.value(QStringLiteral("y")).toDouble() * scale)),
                        size) });
            }
            return true;
        }
    };

} // namespace

std::unique_ptr<DesktopBackend> hyprland()
{
    return std::make_unique<HyprlandBackend>();
}

} // namespace gw::backends
