#pragma once
// Where each download stands, for "Globewall --status": for the cloud map and every row of the
// download list the address, the file, how old its content is, the last result and when the
// next timed fetch may go out. Read from the settings and the current settings file only, so
// the running program and a later start reading the file tell the same.
#include "downloads/HostGaps.h"
#include "downloads/StartSpread.h"
#include "shared/DateTime.h"

#include <QList>
#include <QString>

#include <functional>

namespace gw {

class SettingsAccess;

// The outcome of the last request for each address (section "Download Results").
class DownloadResults
{
public:
    static inline const QString Section = QStringLiteral("Download Results");

    explicit DownloadResults(std::function<QString()> settingsFile);
    void note(const QString& url, TDateTime when, const QString& result);
    // "<date-time> <result>", or empty when none is kept.
    QString last(const QString& url) const;

private:
    AddressValues m_values;
};

// The earliest time a timed download of `url` into `destination` may go out: the gap of its
// host and the wait its server asked for, and, for a host with a gap, a copy on disk younger
// than the gap (the times kept in one settings file are lost with another). A copy dated
// ahead of `now` tells nothing.
TDateTime timedDownloadAllowedFrom(const HostGaps& gaps, const QString& url, const QString& destination, TDateTime now);
// The same moment spread as the timed download of a built-in source really goes out at.
TDateTime timedDownloadDue(
    const HostGaps& gaps, const StartSpread& spread, const QString& url, const QString& destination, TDateTime now);

struct DownloadState
{
    QString label; // "cloud map", "download 1", ...
    QString address;
    QString credit; // whom its data comes from, for a built-in source
    QString askedAt; // where the address is really asked (through the mirror); empty: itself
    QString file;
    TDateTime content = 0; // 0: not known
    bool stale = false;
    QString lastResult;
    QString nextFetch; // "now", a date-time, or why timed downloads are stopped
};

QList<DownloadState> downloadStates(const SettingsAccess& settings, const QString& settingsFile, TDateTime now);
// "3 min", "2 h 5 min", "4 days"
QString ageText(double days);
// One block of lines per download.
QString downloadStatusText(const QList<DownloadState>& states, TDateTime now);

} // namespace gw
