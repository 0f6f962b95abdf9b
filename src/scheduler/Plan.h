#pragma once
// What happens next, in one place: for every job that runs on its own, the moment it is next
// due and, while something holds it, what and until when. The scheduler builds it afresh at
// every event that can change it; the timer sleeps until its earliest moment, and the tray,
// the status bar and "--status" read it, so what they say comes next is what happens.
#include "shared/DateTime.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

namespace gw {

// Why a job does not run when it is due. Ordered roughly from the widest to the narrowest.
enum class HoldKind {
    None,
    SwitchedOff, // the master switch
    Battery, // on battery, and renders and downloads are not wanted then
    ScreenLocked, // the screen is locked or blanked
    Busy, // a render or a download runs
    NetworkAfterResume, // the network is not back after a resume yet
    Offline, // the reachability test failed
    Metered, // the connection is metered and the download is not small
    Stopped, // its host refused it; only the user starts it again
    ServerWait, // its server asked for time (Retry-After)
    HostGap, // its host wants a gap between two requests
    Backoff, // the last attempt failed; the next waits longer each time
};

struct PlanHold
{
    PlanHold() = default;
    PlanHold(HoldKind k, TDateTime end = 0, TDateTime begun = 0, QString what = QString())
        : kind(k)
        , until(end)
        , since(begun)
        , detail(std::move(what))
    {
    }

    HoldKind kind = HoldKind::None;
    // The wall-clock moment the hold ends; 0: only an event ends it.
    TDateTime until = 0;
    // When it began, where that is worth saying ("offline since 10:02"); 0: not known.
    TDateTime since = 0;
    // What the hold says beyond its kind: the refusal of a stopped source, the failure that
    // began a back-off.
    QString detail;

    bool operator==(const PlanHold&) const = default;
};

struct PlanJob
{
    enum Kind { Render, CloudCheck, FixedTime, ListDownload, Row, TimeSync, UpdateCheck };

    PlanJob() = default;
    PlanJob(Kind k, QString what, TDateTime at, PlanHold held = PlanHold())
        : kind(k)
        , name(std::move(what))
        , due(at)
        , hold(std::move(held))
    {
    }

    Kind kind = Render;
    QString name; // "timed render", "cloud check", "fixed time 05:00", "aurora", ...
    // The wall-clock moment it is next due, before any hold; 0: due now.
    TDateTime due = 0;
    // Seconds added to `due`, so that many programs started together do not ask a server at
    // the same moment; 0 unless the job's owner sets one.
    double offsetSeconds = 0;
    PlanHold hold;
    // For a download: 0 the cloud map, else its row of the download list; -1 for other jobs.
    int row = -1;

    // When it can run: its due moment, or the end of its hold when that comes later;
    // nothing while only an event can end the hold.
    std::optional<TDateTime> runsAt() const;

    bool operator==(const PlanJob&) const = default;
};

class Plan
{
public:
    void add(PlanJob job) { m_jobs << std::move(job); }
    const QList<PlanJob>& jobs() const { return m_jobs; }
    // The first job of the kind (and name, when given); null when there is none.
    const PlanJob* find(PlanJob::Kind kind, const QString& name = QString()) const;
    // Every job gets the hold, unless it has one of a kind that comes earlier in HoldKind.
    void holdAll(const PlanHold& hold);

    // The earliest moment at which a job can run; nothing when every job waits for an event.
    std::optional<TDateTime> nextMoment() const;

    // "next render 05:02", "screen locked: no renders", "switched off: no renders", ...
    QString renderLine(TDateTime now) const;
    // One line for each distinct hold of the downloads, the longest-held first:
    // "offline since 10:02", "ISS downloads stopped (HTTP/1.1 403 Forbidden): "Check downloads" tries again".
    QStringList holdLines(TDateTime now) const;

    bool operator==(const Plan&) const = default;

private:
    QList<PlanJob> m_jobs;
};

// "back-off until 10:05", "host gap until 10:40", "screen locked", ... (times on `now`'s day
// show the time of day only).
QString holdText(const PlanHold& hold, TDateTime now);
// The hold's start or end as the tooltip shows it.
QString shortTime(TDateTime when, TDateTime now);

} // namespace gw
