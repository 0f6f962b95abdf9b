// Xfce 4.16+: xfdesktop shows what xfconf's "xfce4-desktop" channel names, per monitor and
// workspace; it listens to the channel, so setting the properties is the whole switch.
#include "background/BackendFactories.h"
#include "background/BusCall.h"

#include <QDBusArgument>
#include <QDBusVariant>
#include <QRegularExpression>
#include <QSet>

namespace gw::backends {

namespace {

    const QString kService = QStringLiteral("org.xfce.Xfconf");
    const QString kPath = QStringLiteral("/org/xfce/Xfconf");
    const QString kChannel = QStringLiteral("xfce4-desktop");

    class XfceBackend : public DesktopBackend
    {
    public:
        PictureLayout layout() const override { return PictureLayout::PerMonitor; }

        QString apply(const ApplyRequest& request) override
        {
            QString error;
            const QDBusMessage reply = callSessionBus(kService, kPath, kService, QStringLiteral("GetAllProperties"),
                { kChannel, QStringLiteral("/backdrop") }, request.timeoutMs, &error);
            QStringList existing;
            if (error.isEmpty() && !reply.arguments().isEmpty()) {
                const QVariant all = reply.arguments().first();
                QVariantMap map;
                if (all.canConvert<QDBusArgument>())
                    all.value<QDBusArgument>() >> map;
                else
                    map = all.toMap();
                existing = map.keys();
            } else if (!error.contains(QLatin1String("refused"))) {
                return error; // a fresh profile has no such properties yet: that is a refusal, not a fault
            }

            static const QRegularExpression imageKey(
                QStringLiteral("^/backdrop/screen\\d+/monitor(.+)/workspace\\d+/last-image$"));
            QVector<QPair<QString, QString>> writes; // property, file
            QSet<QString> covered;
            for (const QString& key : std::as_const(existing)) {
                const QRegularExpressionMatch m = imageKey.match(key);
                if (!m.hasMatch())
                    continue;
                // One picture goes everywhere; several go to the monitor of their name.
                for (const Picture& p : request.pictures) {
                    if (request.pictures.size() == 1 || p.monitor == m.captured(1)) {
                        writes.push_back({ key, p.file });
                        covered.insert(p.monitor);
                        break;
                    }
                }
            }
            for (const Picture& p : request.pictures)
                if (!covered.contains(p.monitor))
                    writes.push_back({ QStringLiteral("/backdrop/screen0/monitor") + p.monitor
                            + QStringLiteral("/workspace0/last-image"),
                        p.file });

            for (const auto& [key, file] : writes) {
                callSessionBus(kService, kPath, kService, QStringLiteral("SetProperty"),
                    { kChannel, key, QVariant::fromValue(QDBusVariant(file)) }, request.timeoutMs, &error);
                if (!error.isEmpty())
                    return error;
            }
            return {};
        }
    };

} // namespace

std::unique_ptr<DesktopBackend> xfce()
{
    return std::make_unique<XfceBackend>();
}

} // namespace gw::backends
