#pragma once
// The two questions the scheduler asks before it starts anything: is the computer on battery,
// and is a screensaver running. Both can be switched off by hidden settings, and both write a
// diagnostic line when the answer is yes and "DebugLevel" is above 0.
#include "shared/Clock.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace gw {

class PowerSupplyWatch;
class SettingsAccess;

// Power state read from a power-supply folder laid out like /sys/class/power_supply.
// On mains when any "Mains" or "USB" supply is online, or when no battery is found: a
// computer without a battery must never count as running on battery, or nothing would start.
bool powerSupplyOnBattery(const QString& root);

class SystemState
{
public:
    using ScreensaverQuery = std::function<bool()>;

    // `powerSupplyRoot` empty: /sys/class/power_supply, read again only after the kernel
    // reports a power-supply change; another root is read at every question. `screensaverQuery`
    // empty: the session's screensaver service, else the X11 screen-saver extension
    // (PlatformScreensaver).
    SystemState(const SettingsAccess& settings, const Clock& clock, QString powerSupplyRoot = {},
        ScreensaverQuery screensaverQuery = {});
    virtual ~SystemState();

    virtual bool RunningOnBattery();
    virtual bool ScreensaverRunning();
    // The same answers without diagnostic lines, for the question when to look again.
    bool onBatteryQuietly();
    bool screensaverQuietly();

    // The kernel reports power-supply changes here (a descriptor that becomes readable), so
    // a program on battery can sleep until one comes; -1 when it cannot.
    int powerSupplyEventsFd() const;
    bool powerChangesReported() const { return powerSupplyEventsFd() >= 0; }
    // Reads what the kernel reported; true when the power supply may have changed.
    bool takePowerSupplyEvents();

    // Appends `line` to `file` (created when missing) when "DebugLevel" is above 0.
    // Throws gw::Error when the file cannot be written.
    void WriteToLog(const QString& file, const QString& line) const;

    const QString& powerSupplyRoot() const { return m_powerSupplyRoot; }

private:
    const SettingsAccess& m_settings;
    const Clock& m_clock;
    QString m_powerSupplyRoot;
    std::unique_ptr<PowerSupplyWatch> m_powerWatch;
    std::optional<bool> m_onBattery; // the last reading, while the watch saw no change
    ScreensaverQuery m_screensaverQuery;
};

} // namespace gw
