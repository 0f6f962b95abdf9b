#pragma once
// The text "Globewall --status" prints: every download with its address, file, content age,
// last result and next allowed fetch; the desktop found, its monitors and the next render.
// From the running program, or, when none runs, from the settings file alone.
#include "scheduler/Plan.h"
#include "shared/DateTime.h"

#include <QString>
#include <QStringList>

namespace gw {

class AppCore;
class SettingsAccess;
struct AppState;

struct DesktopFacts
{
    QString desktop; // the choice and what "automatic" finds
    QStringList monitors; // "NAME WxH+X+Y"; empty: not known
};

// The report from settings and state as the running program holds them (`running` false: as
// read from `settingsFile` by a later start). `plan`: the running program's, which says when
// each job comes next and what holds it.
QString statusReport(const SettingsAccess& settings, const AppState& state, const QString& settingsFile, TDateTime now,
    const DesktopFacts& desktop, bool running, const Plan* plan = nullptr);

// When the job comes next, as "--status" says it: "now", a date-time, or its hold.
QString nextText(const PlanJob& job, TDateTime now);

// The running program's report.
QString runningStatus(AppCore& app);
// Reads the settings file (the one `--settings` names, else the one the base file names)
// without writing anything.
QString offlineStatus();

} // namespace gw
