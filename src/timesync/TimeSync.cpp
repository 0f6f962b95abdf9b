#include "timesync/TimeSync.h"

#include "settings/SettingNames.h"
#include "settings/SettingsAccess.h"
#include "timesync/OffsetText.h"

namespace gw {

TimeSync::TimeSync(SettingsAccess& settings, LogSink& timeLog, ClockSetter& setter, const Clock& clock, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_timeLog(timeLog)
    , m_sntp(clock, setter)
{
    m_sntp.setPort(DefaultPort);
    m_sntp.setReceiveTimeout(DefaultReceiveTimeout);
}

void TimeSync::overridePortAndTimeoutForTests(int port, int receiveTimeoutMs)
{
    m_port = port;
    m_receiveTimeout = receiveTimeoutMs;
}

void TimeSync::btnCheckTimeServerClick()
{
    // A click that arrives while a synchronisation waits for its reply is ignored, and it must
    // not touch the running one's host either: the running one logs that host when it ends.
    if (m_sntp.Active())
        return;

    QString host;
    for (const CheckItem& item : m_settings.checkItems(ctl::cbTimeServer)) {
        if (item.checked) {
            host = item.text;
            break;
        }
    }
    m_sntp.setHost(host);
    // A click that did nothing looked broken.
    if (host.isEmpty()) {
        m_timeLog.appendLine(QStringLiteral("Tick a time server first"));
        return;
    }
    m_sntp.setPort(m_port);
    m_sntp.setReceiveTimeout(m_receiveTimeout);
    const QString where = host + QLatin1Char(':') + QString::number(m_port);

    try {
        const TDateTime serverTime = m_sntp.query();
        // The line shows the first exchange; the clock is set from the second.
        const QString measured = DateTimeToStr(serverTime) + QStringLiteral(" (") + TimeOffsetText(m_sntp.offset())
            + QStringLiteral(") - ") + where;
        // A clock the system synchronises itself is only measured: setting it would fight the
        // system's own service, which refuses it anyway.
        if (m_systemKeepsClock && m_systemKeepsClock().value_or(false)) {
            if (serverTime == 0)
                m_timeLog.appendLine(QStringLiteral("Could not measure the time offset"));
            else
                m_timeLog.appendLine(
                    measured + QStringLiteral(" - the system keeps the clock synchronised itself, so it was not set"));
        } else if (m_sntp.SyncTime()) {
            m_timeLog.appendLine(measured);
        } else if (m_sntp.clockLackedRights()) {
            m_timeLog.appendLine(
                QStringLiteral("Could not synchronize time (setting the clock needs administrator rights)"));
        } else {
            m_timeLog.appendLine(QStringLiteral("Could not synchronize time"));
        }
    } catch (...) {
        // No dialog: the log line is the whole report, and the clock stays as it was.
        m_sntp.setActive(false);
        m_timeLog.appendLine(QStringLiteral("Error getting Time from ") + where);
    }
    m_sntp.setActive(false);
}

} // namespace gw
