#include "downloads/StartSpread.h"

#include "downloads/BuiltInSources.h"
#include "settings/SettingsKeys.h"
#include "shared/Error.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cmath>

namespace gw {

namespace {

    // A strong mix of 64 bits: neighbouring seconds give unrelated offsets.
    quint64 mixed(quint64 x)
    {
        x += 0x9e3779b97f4a7c15ULL;
        x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
        x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
        return x ^ (x >> 31);
    }

} // namespace

StartSpread::StartSpread(std::function<QString()> settingsFile)
    : m_settingsFile(std::move(settingsFile))
{
}

double StartSpread::offsetDays(quint64 seed, TDateTime due, double windowDays)
{
    if (!(windowDays > 0) || !std::isfinite(due))
        return 0;
    // Whole seconds: the due moment comes back from text kept to 8 decimals.
    const auto second = static_cast<quint64>(std::llround(due * 86400.0));
    const double fraction = static_cast<double>(mixed(seed ^ mixed(second)) >> 11) / 9007199254740992.0; // 2^53
    return fraction * windowDays;
}

bool StartSpread::seed(quint64* value) const
{
    const QString file = m_settingsFile();
    if (file.isEmpty())
        return false;
    bool ok = false;
    *value = IniFile(file).readString(Section, SeedKey, QString()).toULongLong(&ok, 16);
    return ok;
}

double StartSpread::windowDays() const
{
    const int seconds = IniFile(m_settingsFile()).readInteger(settingsfile::Debug, WindowKey, DefaultWindowSeconds);
    return std::max(0, seconds) / 86400.0;
}

TDateTime StartSpread::spreadDue(const QString& url, TDateTime due) const
{
    quint64 value = 0;
    if (due <= 0 || !sources::forAddress(url) || !seed(&value))
        return due;
    return due + offsetDays(value, due, windowDays());
}

void StartSpread::ensureSeed()
{
    quint64 value = 0;
    const QString file = m_settingsFile();
    if (file.isEmpty() || seed(&value))
        return;
    value = QRandomGenerator::system()->generate64();
    try {
        IniFile::change(file, [value](IniFile& ini) { ini.writeString(Section, SeedKey, QString::number(value, 16)); });
    } catch (const Error&) {
        // Not kept: the downloads go out at their due moments, as before.
    }
}

} // namespace gw
