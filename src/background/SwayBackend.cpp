// sway: commands over its IPC socket, one "output <name> bg <file> fill" per monitor, and the
// outputs themselves from get_outputs.
#include "background/BackendFactories.h"
#include "background/SwayIpc.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace gw::backends {

namespace {

    QString quoted(const QString& text)
    {
        QString t = text;
        t.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('"'), QStringLiteral("\\\""));
        return QLatin1Char('"') + t + QLatin1Char('"');
    }

    class SwayBackend : public DesktopBackend
    {
    public:
        PictureLayout layout() const override { return PictureLayout::PerMonitor; }
        QString apply(const ApplyRequest& request) override
        {
            QStringList commands;
            for (const Picture& p : request.pictures)
                commands << QStringLiteral("output ") + quoted(p.monitor) + QStringLiteral(" bg ") + quoted(p.file)
                        + QStringLiteral(" fill");
            QByteArray reply;
            const QString error = swayRequest(
                SwayMessage::RunCommand, commands.join(QLatin1Char(';')).toUtf8(), request.timeoutMs, &reply);
            if (!error.isEmpty())
                return error;
            for (const QJsonValue& v : QJsonDocument::fromJson(reply).array()) {
                const QJsonObject o = v.toObject();
                if (!o.value(QStringLiteral("success")).toBool())
                    return QStringLiteral("sway refused the command: ") + o.value(QStringLiteral("error")).toString();
            }
            return {};
        }

        // Active outputs only; "rect" is in logical pixels, so its size times "scale" is the
        // panel's (rotation included).
        bool listMonitors(int timeoutMs, MonitorList* monitors, QString* error) override
        {
            QByteArray reply;
            *error = swayRequest(SwayMessage::GetOutputs, {}, timeoutMs, &reply);
            if (!error->isEmpty())
                return false;
            const QJsonDocument document = QJsonDocument::fromJson(reply);
            if (!document.isArray()) {
                *error = QStringLiteral("sway's list of outputs is no JSON list");
                return false;
            }
            for (const QJsonValue& v : document.array()) {
                const QJsonObject o = v.toObject();
                if (!o.value(QStringLiteral("active")).toBool())
                    continue;
                const QJsonObject r = o.value(QStringLiteral("rect")).toObject();
                const double scale = std::max(o.value(QStringLiteral("scale")).toDouble(1.0), 0.1);
                const auto device
                    = [&](const char* key) { return qRound(r.value(QLatin1String(key)).toDouble() * scale); };
                monitors->push_back({ o.value(QStringLiteral("name")).toString(),
                    QRect(device("x"), device("y"), device("width"), device("height")) });
            }
            return true;
        }
    };

} // namespace

std::unique_ptr<DesktopBackend> sway()
{
    return std::make_unique<SwayBackend>();
}

} // namespace gw::backends
