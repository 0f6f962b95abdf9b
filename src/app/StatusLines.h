#pragma once
// What the program is doing, in two short lines for the tray tooltip (below its hint) and the
// status bar: when the next render is due, and how old the content of the cloud map and the
// earthquake list is (what their servers last said of it, else when the file last changed),
// marked when its source has stopped changing.
#include "shared/DateTime.h"

#include <QDateTime>
#include <QStringList>

namespace gw {

class Plan;
class SettingsAccess;
struct AppState;

struct StatusFacts
{
    bool enabled = true; // the master switch
    bool timedRender = false; // "start XPlanet every ... sec"
    TDateTime nextRender = 0;
    QDateTime cloudUpdated; // invalid: no file yet
    QDateTime quakesUpdated;
    bool cloudStale = false;
    bool quakesStale = false;
    // What happens next, when the program runs: it names the next render and any hold.
    const Plan* plan = nullptr;
};

// The facts as the settings, the scheduler's times, the content dates kept in `settingsFile`
// and the files on disk give them. The earthquake list is the destination of the first
// download row with an earthquake address.
StatusFacts statusFacts(
    const SettingsAccess& settings, const AppState& state, const QString& settingsFile, TDateTime now);
// No content dates: the files on disk, at the system's time.
StatusFacts statusFacts(const SettingsAccess& settings, const AppState& state);

// Times on `now`'s day show the time of day only. With a plan, its render line comes first
// and a line for each hold of the downloads after the content ages.
QStringList statusLines(const StatusFacts& facts, const QDateTime& now);

} // namespace gw
