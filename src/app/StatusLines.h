#pragma once
// What the program is doing, in two short lines for the tray tooltip (below its hint) and the
// status bar: when the next render is due, and when the cloud map and the earthquake list on
// disk last changed.
#include "shared/DateTime.h"

#include <QDateTime>
#include <QStringList>

namespace gw {

class SettingsAccess;
struct AppState;

struct StatusFacts
{
    bool enabled = true; // the master switch
    bool timedRender = false; // "start XPlanet every ... sec"
    TDateTime nextRender = 0;
    QDateTime cloudUpdated; // invalid: no file yet
    QDateTime quakesUpdated;
};

// The facts as the settings, the scheduler's times and the files on disk give them. The
// earthquake list is the destination of the first download row with an earthquake address.
StatusFacts statusFacts(const SettingsAccess& settings, const AppState& state);

// Times on `now`'s day show the time of day only.
QStringList statusLines(const StatusFacts& facts, const QDateTime& now);

} // namespace gw
