#include "scheduler/Plan.h"

#include <algorithm>

namespace gw {

std::optional<TDateTime> PlanJob::runsAt() const
{
    const TDateTime moment = due + offsetSeconds * OneSecond;
    if (hold.kind == HoldKind::None)
        return moment;
    if (hold.until <= 0)
        return std::nullopt;
    return std::max(moment, hold.until);
}

const PlanJob* Plan::find(PlanJob::Kind kind, const QString& name) const
{
    for (const PlanJob& job : m_jobs) {
        if (job.kind == kind && (name.isEmpty() || job.name == name))
            return &job;
    }
    return nullptr;
}

void Plan::holdAll(const PlanHold& hold)
{
    for (PlanJob& job : m_jobs) {
        if (job.hold.kind == HoldKind::None || job.hold.kind > hold.kind)
            job.hold = hold;
    }
}

std::optional<TDateTime> Plan::nextMoment() const
{
    std::optional<TDateTime> soonest;
    for (const PlanJob& job : m_jobs) {
        const auto at = job.runsAt();
        if (at && (!soonest || *at < *soonest))
            soonest = at;
    }
    return soonest;
}

QString shortTime(TDateTime when, TDateTime now)
{
    const QDateTime t = fromDateTime(when);
    const QString time = t.toString(QStringLiteral("hh:mm"));
    return t.date() == fromDateTime(now).date() ? time : t.toString(QStringLiteral("dd.MM.yyyy ")) + time;
}

QString holdText(const PlanHold& hold, TDateTime now)
{
    const auto until = [&](const QString& what) {
        return hold.until > now ? what + QStringLiteral(" until ") + shortTime(hold.until, now) : what;
    };
    switch (hold.kind) {
    case HoldKind::None:
        return QString();
    case HoldKind::SwitchedOff:
        return QStringLiteral("switched off");
    case HoldKind::Battery:
        return QStringLiteral("on battery");
    case HoldKind::ScreenLocked:
        return QStringLiteral("screen locked");
    case HoldKind::Busy:
        return QStringLiteral("busy");
    case HoldKind::NetworkAfterResume:
        return until(QStringLiteral("waiting for the network after a resume"));
    case HoldKind::Offline:
        return hold.since > 0 ? QStringLiteral("offline since ") + shortTime(hold.since, now)
                              : QStringLiteral("offline");
    case HoldKind::Metered:
        return QStringLiteral("metered connection");
    case HoldKind::Stopped:
        return QStringLiteral("stopped (") + hold.detail + QLatin1Char(')');
    case HoldKind::ServerWait:
        return until(QStringLiteral("its server asked to wait"));
    case HoldKind::HostGap:
        return until(QStringLiteral("host gap"));
    case HoldKind::Backoff:
        return until(QStringLiteral("back-off"))
            + (hold.detail.isEmpty() ? QString() : QStringLiteral(" (") + hold.detail + QLatin1Char(')'));
    }
    return QString();
}

QString Plan::renderLine(TDateTime now) const
{
    const PlanJob* render = find(PlanJob::Render);
    if (!render)
        return QStringLiteral("no timed render");
    switch (render->hold.kind) {
    case HoldKind::SwitchedOff:
        return QStringLiteral("switched off: no renders");
    case HoldKind::ScreenLocked:
        return QStringLiteral("screen locked: no renders");
    case HoldKind::Battery:
        return QStringLiteral("on battery: no renders");
    default:
        break;
    }
    const auto at = render->runsAt();
    if (!at)
        return QStringLiteral("no timed render");
    return *at <= now ? QStringLiteral("next render now") : QStringLiteral("next render ") + shortTime(*at, now);
}

QStringList Plan::holdLines(TDateTime now) const
{
    // The holds that concern the whole program are told by the render line.
    const auto ownLine = [](const PlanJob& job) {
        switch (job.hold.kind) {
        case HoldKind::None:
        case HoldKind::SwitchedOff:
        case HoldKind::Battery:
        case HoldKind::ScreenLocked:
        case HoldKind::Busy:
            return false;
        default:
            return job.kind != PlanJob::Render;
        }
    };
    QList<const PlanJob*> held;
    for (const PlanJob& job : m_jobs) {
        if (ownLine(job))
            held << &job;
    }
    // Those that only an event ends first, then the latest end.
    std::stable_sort(held.begin(), held.end(), [](const PlanJob* a, const PlanJob* b) {
        const double endA = a->hold.until <= 0 ? 1e12 : a->hold.until;
        const double endB = b->hold.until <= 0 ? 1e12 : b->hold.until;
        return endA > endB;
    });
    QStringList lines;
    QStringList seen;
    for (const PlanJob* job : held) {
        QString line;
        switch (job->hold.kind) {
        case HoldKind::Offline:
        case HoldKind::NetworkAfterResume:
        case HoldKind::Metered:
            // One line for all that wait for the network.
            line = holdText(job->hold, now);
            break;
        case HoldKind::Stopped:
            line = job->name + QStringLiteral(" downloads stopped (") + job->hold.detail
                + QStringLiteral("): \"Check downloads\" tries again");
            break;
        default:
            line = job->name + QStringLiteral(": ") + holdText(job->hold, now);
            break;
        }
        if (!seen.contains(line)) {
            seen << line;
            lines << line;
        }
    }
    return lines;
}

} // namespace gw
