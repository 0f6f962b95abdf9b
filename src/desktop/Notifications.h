#pragma once
// Desktop notifications for the events a user should hear of while the window is hidden: a
// newer version found by the update check, a download that failed three times in a row, timed
// downloads of an address stopped at its server's request, a data source that has stopped
// changing, and a time sync refused for lack of the right to set the clock. NoticeWatch reads
// them from what
// the program already reports (its logs and the update dialog's status); DesktopNotifier shows
// them through org.freedesktop.Notifications, at most one per cause per day.
#include "shared/Clock.h"

#include <QDBusConnection>
#include <QString>

#include <functional>
#include <optional>

namespace gw {

enum class NoticeCause { NewVersion, DownloadFailing, TimeSyncRefused, DownloadStopped, SourceStale };
inline constexpr int NoticeCauses = 5;

struct Notice
{
    NoticeCause cause;
    QString summary;
    QString body;
};

class NoticeWatch
{
public:
    // Downloads in a row that failed before a notice goes out.
    static constexpr int FailuresInRow = 3;

    std::optional<Notice> transferLogLine(const QString& line);
    std::optional<Notice> timeLogLine(const QString& line) const;
    std::optional<Notice> updateStatus(const QString& status) const;

private:
    int m_failures = 0;
};

class DesktopNotifier
{
public:
    // `enabled` is asked at each notice (the check box on "General").
    DesktopNotifier(
        const Clock& clock, std::function<bool()> enabled, QDBusConnection bus = QDBusConnection::sessionBus());

    // Sends the notice unless switched off or one of its cause went out today. The call does
    // not wait for the notification service; true when it was sent.
    bool send(const Notice& notice);

private:
    const Clock& m_clock;
    std::function<bool()> m_enabled;
    QDBusConnection m_bus;
    int m_lastDay[NoticeCauses] = { -1, -1, -1, -1, -1 };
};

} // namespace gw
