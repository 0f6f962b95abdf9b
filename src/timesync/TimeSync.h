#pragma once
// The "synchronize Time" operation: ask the first checked time server for the time, set the
// clock from the answer and write one line to the time log.
#include "shared/Clock.h"
#include "shared/LogSink.h"
#include "timesync/ClockSetter.h"
#include "timesync/SntpClient.h"

#include <QObject>

#include <functional>
#include <optional>

namespace gw {

class SettingsAccess;

class TimeSync : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultPort = 123;
    static constexpr int DefaultReceiveTimeout = 2500; // ms

    // `timeLog` receives the lines for mTimeLog; `setter` is the only way to the clock.
    TimeSync(
        SettingsAccess& settings, LogSink& timeLog, ClockSetter& setter, const Clock& clock, QObject* parent = nullptr);

    SntpClient& SNTP() { return m_sntp; }

    // Whether the system keeps its clock synchronised itself (then the offset is measured and
    // the clock left alone); nothing: it cannot say. Unset: never.
    void setSystemKeepsClock(std::function<std::optional<bool>()> query) { m_systemKeepsClock = std::move(query); }

    // Tests talk to servers on a free loopback port with short waits.
    void overridePortAndTimeoutForTests(int port, int receiveTimeoutMs);

public slots:
    // Button "synchronize Time", and the scheduler's click on it after a timed download.
    void btnCheckTimeServerClick();

private:
    SettingsAccess& m_settings;
    LogSink& m_timeLog;
    SntpClient m_sntp;
    int m_port = DefaultPort;
    int m_receiveTimeout = DefaultReceiveTimeout;
    std::function<std::optional<bool>()> m_systemKeepsClock;
};

} // namespace gw
