#include "settings/SettingsTable.h"

#include "settings/Defaults.h"

namespace gw {

const QStringList& bodyList()
{
    static const QStringList bodies = { "default", "earth", "moon", "sun", "mercury", "venus", "mars", "phobos",
        "deimos", "jupiter", "io", "europa", "ganymede", "callisto", "saturn", "mimas", "enceladus", "tethys", "dione",
        "rhea", "titan", "hyperion", "iapetus", "phoebe", "uranus", "miranda", "ariel", "umbriel", "titania", "oberon",
        "neptune", "triton", "nereid", "pluto", "charon", "random", "major" };
    return bodies;
}

const QStringList& projectionList()
{
    static const QStringList projections = { "ancient", "azimuthal", "hemisphere", "lambert", "mercator", "mollweide",
        "peters", "orthographic", "rectangular", "random", "multiple bodies" };
    return projections;
}

const QVector<SettingRow>& settingsTable()
{
    static const QVector<SettingRow> table = {
#define GW_SETTING(name, kind, window, min, max, group, section, key, file, fileDefault, machine)                      \
    { QStringLiteral(#name), ControlKind::kind, QVariant(window), min, max, QStringLiteral(group),                     \
        FileSection::section, QStringLiteral(key), FileKind::file, QVariant(fileDefault), MachineDefault::machine },
#include "settings/SettingsTable.def"
#undef GW_SETTING
    };
    return table;
}

const SettingRow* findSetting(const QString& name)
{
    for (const SettingRow& row : settingsTable())
        if (row.name == name)
            return &row;
    return nullptr;
}

const QVector<const SettingRow*>& settingsIn(FileSection section)
{
    static const auto bySection = [] {
        QVector<QVector<const SettingRow*>> sections(static_cast<int>(FileSection::Window) + 1);
        for (const SettingRow& row : settingsTable())
            sections[static_cast<int>(row.section)].push_back(&row);
        return sections;
    }();
    return bySection[static_cast<int>(section)];
}

QStringList radioGroupMembers(const QString& group)
{
    QStringList members;
    for (const SettingRow& row : settingsTable())
        if (row.kind == ControlKind::RadioButton && row.radioGroup == group)
            members << row.name;
    return members;
}

int spinValueFromText(const QString& text, int minValue)
{
    bool ok = false;
    const qint64 v = text.trimmed().toLongLong(&ok);
    if (!ok || v < INT32_MIN || v > INT32_MAX)
        return minValue;
    return static_cast<int>(v);
}

int spinClamp(int value, int minValue, int maxValue)
{
    if (minValue == maxValue)
        return value;
    return value < minValue ? minValue : (value > maxValue ? maxValue : value);
}

} // namespace gw
