#include "scheduler/SystemState.h"

#include "scheduler/PowerSupplyWatch.h"
#include "scheduler/ScreensaverQuery.h"
#include "settings/SettingNames.h"
#include "settings/SettingsAccess.h"
#include "shared/AtomicFile.h"
#include "shared/Error.h"
#include "shared/Paths.h"

#include <QDir>
#include <QFile>

namespace gw {

namespace {

    QString readAttribute(const QString& folder, const char* name)
    {
        QFile f(folder + QLatin1Char('/') + QLatin1String(name));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromLatin1(f.readAll()).trimmed();
    }

    bool isExternalSupply(const QString& type)
    {
        // Older kernels name USB chargers by kind: "USB_DCP", "USB_C", "USB_PD", ...
        return type == QLatin1String("Mains") || type.startsWith(QLatin1String("USB"));
    }

} // namespace

bool powerSupplyOnBattery(const QString& root)
{
    const QDir dir(root);
    bool externalSupplyKnown = false;
    bool batteryPresent = false;
    bool batteryFedFromOutside = false;
    const QStringList entries = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    for (const QString& entry : entries) {
        const QString folder = dir.filePath(entry);
        // Batteries of a mouse or a keyboard say nothing about how the computer is powered.
        if (readAttribute(folder, "scope") == QLatin1String("Device"))
            continue;
        const QString type = readAttribute(folder, "type");
        if (isExternalSupply(type)) {
            externalSupplyKnown = true;
            if (readAttribute(folder, "online") == QLatin1String("1"))
                return false;
        } else if (type == QLatin1String("Battery")) {
            const QString present = readAttribute(folder, "present");
            if (!present.isEmpty() && present != QLatin1String("1"))
                continue; // an empty battery bay
            batteryPresent = true;
            const QString status = readAttribute(folder, "status");
            if (status == QLatin1String("Charging") || status == QLatin1String("Full")
                || status == QLatin1String("Not charging"))
                batteryFedFromOutside = true;
        }
    }
    if (!batteryPresent)
        return false;
    // Some boards report no mains supply at all; then only the battery can tell.
    if (!externalSupplyKnown && batteryFedFromOutside)
        return false;
    return true;
}

SystemState::SystemState(
    const SettingsAccess& settings, const Clock& clock, QString powerSupplyRoot, ScreensaverQuery screensaverQuery)
    : m_settings(settings)
    , m_clock(clock)
    , m_powerSupplyRoot(
          powerSupplyRoot.isEmpty() ? QStringLiteral("/sys/class/power_supply") : std::move(powerSupplyRoot))
    , m_screensaverQuery(std::move(screensaverQuery))
{
    // The kernel's events speak of the real folder only; a test's folder is read each time.
    if (m_powerSupplyRoot == QLatin1String("/sys/class/power_supply"))
        m_powerWatch = std::make_unique<PowerSupplyWatch>();
    if (!m_screensaverQuery) {
        auto platform = std::make_shared<PlatformScreensaver>();
        m_screensaverQuery = [platform] { return platform->active(); };
    }
}

SystemState::~SystemState() = default;

int SystemState::powerSupplyEventsFd() const
{
    return m_powerWatch ? m_powerWatch->fd() : -1;
}

bool SystemState::takePowerSupplyEvents()
{
    if (m_powerWatch && !m_powerWatch->takeChange())
        return false;
    m_onBattery.reset();
    return true;
}

bool SystemState::onBatteryQuietly()
{
    if (!m_settings.checked(ctl::BatteryDetection))
        return false;
    if (!m_onBattery || !m_powerWatch || m_powerWatch->takeChange())
        m_onBattery = powerSupplyOnBattery(m_powerSupplyRoot);
    return *m_onBattery;
}

bool SystemState::screensaverQuietly()
{
    return m_settings.checked(ctl::ScreensaverDetection) && m_screensaverQuery();
}

bool SystemState::RunningOnBattery()
{
    if (!onBatteryQuietly())
        return false;
    WriteToLog(programDir() + QStringLiteral("Globewall.battery.log"),
        DateTimeToStr(m_clock.now()) + QStringLiteral(": Running on Battery"));
    return true;
}

bool SystemState::ScreensaverRunning()
{
    if (!screensaverQuietly())
        return false;
    WriteToLog(programDir() + QStringLiteral("Globewall.ScreenSaver.log"),
        DateTimeToStr(m_clock.now()) + QStringLiteral(": Screensaver is active"));
    return true;
}

void SystemState::WriteToLog(const QString& file, const QString& line) const
{
    if (m_settings.integer(ctl::DebugLevel) <= 0)
        return;
    QString error;
    if (!appendToOwnFile(file, line.toLocal8Bit() + '\n', &error))
        throw Error(error);
}

} // namespace gw
