#include "desktop/Notifications.h"
#include "shared/OutsideText.h"

#include <QDBusMessage>
#include <QVariantMap>

#include <cmath>

namespace gw {

std::optional<Notice> NoticeWatch::transferLogLine(const QString& line)
{
    // The engine's lines are "<date-time> - <message>"; only the outcome of a transfer counts.
    if (line.contains(QLatin1String(" - Success"))) {
        m_failures = 0;
        return std::nullopt;
    }
    // Only the user can start them again: a hidden window would leave them stopped for good.
    const qsizetype stopped = line.indexOf(QLatin1String(" - Timed downloads of "));
    if (stopped >= 0 && line.contains(QLatin1String(" stopped (")))
        return Notice { NoticeCause::DownloadStopped, QStringLiteral("Downloads stopped"), line.mid(stopped + 3) };
    const qsizetype stale = line.indexOf(QLatin1String(" - Stale: "));
    if (stale >= 0)
        return Notice { NoticeCause::SourceStale, QStringLiteral("A data source has stopped changing"),
            line.mid(stale + 10) };
    const qsizetype at = line.indexOf(QLatin1String(" - Error downloading file"));
    if (at < 0 || ++m_failures < FailuresInRow)
        return std::nullopt;
    m_failures = 0;
    return Notice { NoticeCause::DownloadFailing, QStringLiteral("Downloads keep failing"),
        QStringLiteral("The last %1 downloads failed: %2").arg(FailuresInRow).arg(line.mid(at + 3)) };
}

std::optional<Notice> NoticeWatch::timeLogLine(const QString& line) const
{
    if (line.trimmed() != QLatin1String("Could not synchronize time"))
        return std::nullopt;
    return Notice { NoticeCause::TimeSyncRefused, QStringLiteral("Time not synchronized"),
        QStringLiteral("Globewall may not set the computer's clock. Setting the time needs the "
                       "right to do so (CAP_SYS_TIME).") };
}

std::optional<Notice> NoticeWatch::updateStatus(const QString& status) const
{
    const QString prefix = QStringLiteral("found new version ");
    if (!status.startsWith(prefix))
        return std::nullopt;
    return Notice { NoticeCause::NewVersion, QStringLiteral("New Globewall version"),
        QStringLiteral("Version %1 is available.").arg(status.mid(prefix.size()).trimmed()) };
}

DesktopNotifier::DesktopNotifier(const Clock& clock, std::function<bool()> enabled, QDBusConnection bus)
    : m_clock(clock)
    , m_enabled(std::move(enabled))
    , m_bus(std::move(bus))
{
}

bool DesktopNotifier::send(const Notice& notice)
{
    if (!m_enabled || !m_enabled())
        return false;
    const int day = static_cast<int>(std::floor(m_clock.now()));
    int& last = m_lastDay[static_cast<int>(notice.cause)];
    if (last == day)
        return false;
    if (!m_bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"), QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("net.quillmoor.Globewall"));
    call << QStringLiteral("Globewall") << 0u << QStringLiteral("net.quillmoor.Globewall")
         << plainOutsideText(notice.summary) << plainOutsideText(notice.body, LineBreaks::Keep) << QStringList()
         << hints << -1;
    // No reply wanted: a missing notification service must not hold up the program.
    call.setAutoStartService(true);
    if (!m_bus.send(call))
        return false;
    last = day;
    return true;
}

} // namespace gw
