#pragma once
// Downloads that respect the servers: a minimum time between two requests to the hosts that
// ask for one (the gaps of the built-in sources, BuiltInSources.h), and addresses of a host
// that asks to be left alone stopped after an answer that says the program asks too often. Both are kept in the current
// settings file, so a program started ten times an hour still asks once.
#include "downloads/AddressValues.h"
#include "shared/DateTime.h"

#include <QString>

#include <functional>

namespace gw {

class HostGaps
{
public:
    static inline const QString TimesSection = QStringLiteral("Download Hosts");
    static inline const QString StoppedSection = QStringLiteral("Stopped Downloads");
    static inline const QString NotBeforeSection = QStringLiteral("Downloads Not Before");
    // Why an address waits: empty when its server asked, else the failure of the last attempt.
    static inline const QString NotBeforeWhySection = QStringLiteral("Downloads Not Before Why");
    // When a built-in source was last asked, reached or not: it is asked again at its own pace.
    static inline const QString AskedSection = QStringLiteral("Downloads Last Asked");

    explicit HostGaps(std::function<QString()> settingsFile);

    // The minimum time between two requests to the host of `url`, in days; 0 for other hosts.
    static double minimumGap(const QString& url);
    // True for an address on the satellite-element site (whatever its path).
    static bool isSatelliteSite(const QString& url);

    // The earliest time for the next request to `url`: the server asked for it (`failure`
    // empty), or the last attempt failed in a way that is not tried again at once.
    void setNotBefore(const QString& url, TDateTime when, const QString& failure = QString());

    // What holds the next request to `url` back.
    struct Hold
    {
        enum Why { HostGap, ServerAsked, LastAttemptFailed };
        TDateTime until = 0; // 0: nothing
        Why why = HostGap;
        QString failure; // of the last attempt, for LastAttemptFailed
    };
    // `now` given: a moment kept further ahead than its own length (the wall clock was set
    // back since it was stored) is taken as now plus that length: a gap from now, a server's
    // wait of at most LongestServerWait.
    Hold holdFor(const QString& url, TDateTime now = 0) const;
    static constexpr double LongestServerWait = 1.0; // days
    // The earliest time the next request to `url` may go out, by the gap of its host and the
    // wait its server asked for; 0 when at once.
    TDateTime allowedFrom(const QString& url, TDateTime now = 0) const { return holdFor(url, now).until; }
    // A request to the host of `url` went out at `now` (only hosts with a gap are kept).
    void noteRequest(const QString& url, TDateTime now);
    // A request to `url` was made at `now`; `reached`: its server answered. One write.
    void noteAttempt(const QString& url, TDateTime now, bool reached);
    // When a built-in source's address was last asked (not after `now`); 0: never.
    TDateTime lastAsked(const QString& url, TDateTime now) const;

    // Why timed downloads of `url` are stopped; empty when they are not.
    QString stopReason(const QString& url) const;
    void stop(const QString& url, const QString& reason);
    void resume(const QString& url);

private:
    AddressValues m_values;
};

} // namespace gw
