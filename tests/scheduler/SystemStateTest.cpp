#include "SchedulerRig.h"
#include "scheduler/PowerSupplyWatch.h"

#include <gtest/gtest.h>

using namespace gwtest;

namespace {
using Attributes = QMap<QString, QString>;
struct Supply
{
    QString name;
    Attributes attributes;
};
} // namespace

TEST(PowerSupply, OnBatteryOrOnMains)
{
    const Supply mainsOn { "AC", { { "type", "Mains" }, { "online", "1" } } };
    const Supply mainsOff { "AC", { { "type", "Mains" }, { "online", "0" } } };
    const Supply usbOn { "usb", { { "type", "USB" }, { "online", "1" } } };
    const Supply usbCOff { "ucsi", { { "type", "USB_C" }, { "online", "0" } } };
    const Supply discharging { "BAT0", { { "type", "Battery" }, { "status", "Discharging" }, { "present", "1" } } };
    const Supply charging { "BAT0", { { "type", "Battery" }, { "status", "Charging" } } };
    const Supply emptyBay { "BAT1", { { "type", "Battery" }, { "present", "0" } } };
    const Supply mouse { "hidpp_battery_0",
        { { "type", "Battery" }, { "scope", "Device" }, { "status", "Discharging" } } };

    struct Case
    {
        const char* label;
        std::vector<Supply> supplies;
        bool onBattery;
    };
    const std::vector<Case> cases = {
        { "mains online", { mainsOn, discharging }, false },
        { "battery discharging, mains offline", { mainsOff, discharging }, true },
        { "no supplies at all", {}, false },
        { "a USB supply online", { usbOn, usbCOff, discharging }, false },
        { "a battery only, discharging", { discharging }, true },
        { "a battery only, charging", { charging }, false },
        { "mains offline, no battery in its bay", { mainsOff, emptyBay }, false },
        { "only a wireless mouse's battery", { mouse }, false },
        { "a mouse's battery beside mains offline", { mainsOff, mouse }, false },
    };
    for (const Case& c : cases) {
        TempDir dir;
        for (const Supply& s : c.supplies)
            for (auto it = s.attributes.begin(); it != s.attributes.end(); ++it)
                writeFile(dir.file(s.name + QLatin1Char('/') + it.key()), it.value().toLatin1() + '\n');
        EXPECT_EQ(gw::powerSupplyOnBattery(dir.path()), c.onBattery) << c.label;
    }
    EXPECT_FALSE(gw::powerSupplyOnBattery(QStringLiteral("/nonexistent/power_supply"))) << "no folder at all";
}

TEST(SystemState, BatteryAnswerAndItsLog)
{
    struct Case
    {
        const char* label;
        bool detection;
        int debugLevel;
        bool onBattery;
        bool answer;
        int logLines;
    };
    for (const Case& c : { Case { "on battery, debug on", true, 1, true, true, 1 },
             Case { "on battery, debug off", true, 0, true, true, 0 },
             Case { "on battery, negative debug level", true, -3, true, true, 0 },
             Case { "on mains, debug on", true, 1, false, false, 0 },
             Case { "detection off", false, 1, true, false, 0 } }) {
        SchedulerRig rig;
        rig.settings.setChecked(QStringLiteral("BatteryDetection"), c.detection);
        rig.settings.setInteger(QStringLiteral("DebugLevel"), c.debugLevel);
        if (c.onBattery)
            rig.onBattery();
        else
            rig.onMains();
        EXPECT_EQ(rig.system.RunningOnBattery(), c.answer) << c.label;
        const QStringList lines = rig.logLines(QStringLiteral("Globewall.battery.log"));
        ASSERT_EQ(lines.size(), c.logLines) << c.label;
        if (c.logLines) {
            EXPECT_EQ(lines[0], gw::DateTimeToStr(rig.clock.now()) + QStringLiteral(": Running on Battery")) << c.label;
        }
    }
}

TEST(SystemState, ScreensaverDetectionOffDoesNotAsk)
{
    SchedulerRig rig;
    rig.screensaver = true;
    rig.settings.setChecked(QStringLiteral("ScreensaverDetection"), false);
    EXPECT_FALSE(rig.system.ScreensaverRunning());
    EXPECT_EQ(rig.screensaverQueries, 0);
}

TEST(SystemState, WriteToLogAppendsAndCreates)
{
    SchedulerRig rig;
    rig.settings.setInteger(QStringLiteral("DebugLevel"), 2);
    const QString file = rig.dir.file(QStringLiteral("Globewall.any.log"));
    rig.system.WriteToLog(file, QStringLiteral("first"));
    rig.system.WriteToLog(file, QStringLiteral("second ü"));
    EXPECT_EQ(QString::fromLocal8Bit(readFile(file)), QStringLiteral("first\nsecond ü\n"));
}

TEST(SystemState, WriteToLogFailureIsAnError)
{
    SchedulerRig rig;
    rig.settings.setInteger(QStringLiteral("DebugLevel"), 1);
    const QString file = rig.dir.file(QStringLiteral("no-such-folder/Globewall.battery.log"));
    try {
        rig.system.WriteToLog(file, QStringLiteral("line"));
        FAIL() << "no error for an unwritable log";
    } catch (const gw::Error& e) {
        EXPECT_TRUE(e.message().contains(file)) << e.message().toStdString();
    }
    rig.settings.setInteger(QStringLiteral("DebugLevel"), 0);
    EXPECT_NO_THROW(rig.system.WriteToLog(file, QStringLiteral("line"))) << "debug off: nothing is opened";
}

// A kernel event as the netlink socket delivers it: fields ended by NUL.
static QByteArray kernelEvent(std::initializer_list<const char*> fields)
{
    QByteArray out;
    for (const char* f : fields)
        out.append(f).append('\0');
    return out;
}

TEST(PowerSupplyWatch, OnlyKernelEventsOfThePowerSupplyClassCount)
{
    struct Row
    {
        const char* label;
        QByteArray message;
        bool counts;
    };
    const Row rows[] = {
        { "battery starts charging",
            kernelEvent({ "change@/devices/LNXSYSTM:00/PNP0C0A:00/power_supply/BAT0", "ACTION=change",
                "SUBSYSTEM=power_supply", "POWER_SUPPLY_STATUS=Charging" }),
            true },
        { "a USB stick", kernelEvent({ "add@/devices/pci0000:00/usb1/1-1", "ACTION=add", "SUBSYSTEM=usb" }), false },
        { "the class named only in the path", kernelEvent({ "add@/class/power_supply", "SUBSYSTEM=input" }), false },
        { "no action line", kernelEvent({ "SUBSYSTEM=power_supply" }), false },
    };
    for (const Row& r : rows)
        EXPECT_EQ(gw::PowerSupplyWatch::isPowerSupplyEvent(r.message), r.counts) << r.label;
}
