#include "settings/SystemDefaults.h"

#include "settings/SettingsKeys.h"

#include <QDir>

namespace gw::systemdefaults {

namespace sf = settingsfile;

namespace {

    bool isList(const QString& section)
    {
        for (const QString& list : { sf::Time, sf::TimeServer, sf::Download, sf::Satellites, sf::Markerfiles })
            if (section.compare(list, Qt::CaseInsensitive) == 0)
                return true;
        return false;
    }

    // The base file's pointer to the user's settings file is the user's alone.
    bool isPrivate(const QString& section, const QString& key)
    {
        return section.compare(sf::Config, Qt::CaseInsensitive) == 0
            && key.trimmed().compare(sf::ConfigFileKey, Qt::CaseInsensitive) == 0;
    }

    QByteArray normalised(const QByteArray& value)
    {
        return value.trimmed();
    }

    bool sameValue(const IniFile& a, const IniFile& b, const QString& section, const QString& key)
    {
        return normalised(a.readBytes(section, key, {})) == normalised(b.readBytes(section, key, {}));
    }

    bool sameSection(const IniFile& a, const IniFile& b, const QString& section)
    {
        const QStringList keys = a.keys(section);
        if (keys.size() != b.keys(section).size())
            return false;
        for (const QString& key : keys)
            if (!b.hasKey(section, key) || !sameValue(a, b, section, key))
                return false;
        return true;
    }

    void copyKey(IniFile& into, const IniFile& from, const QString& section, const QString& key)
    {
        into.writeBytes(section, key, from.readBytes(section, key, {}));
    }

} // namespace

QStringList files()
{
    QString dirs = qEnvironmentVariable("XDG_CONFIG_DIRS");
    if (dirs.trimmed().isEmpty())
        dirs = QStringLiteral("/etc/xdg");
    QStringList result;
    for (const QString& dir : dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        // Relative folders are not meant for this: the variable holds absolute paths only.
        if (QDir::isRelativePath(dir))
            continue;
        result << QDir::cleanPath(dir + QStringLiteral("/Globewall/Globewall.ini"));
    }
    return result;
}

IniFile read(const QStringList& files, QStringList* errors)
{
    IniFile combined { QString() };
    combined.loadFromBytes(QByteArray());
    // The least important first: each later file writes over it.
    for (auto it = files.rbegin(); it != files.rend(); ++it) {
        const IniFile file(*it);
        if (!file.loadError().isEmpty()) {
            if (errors)
                *errors << file.loadError();
            continue;
        }
        combined = beneath(file, combined);
    }
    return combined;
}

IniFile beneath(const IniFile& own, const IniFile& defaults)
{
    IniFile merged { QString() };
    merged.loadFromBytes(QByteArray());
    for (const QString& section : defaults.sections()) {
        if (isList(section) && own.hasSection(section))
            continue;
        for (const QString& key : defaults.keys(section))
            if (!isPrivate(section, key))
                copyKey(merged, defaults, section, key);
    }
    for (const QString& section : own.sections())
        for (const QString& key : own.keys(section))
            copyKey(merged, own, section, key);
    return merged;
}

void leaveOut(IniFile& saved, const IniFile& before, const IniFile& defaults)
{
    for (const QString& section : defaults.sections()) {
        if (isList(section)) {
            if (!before.hasSection(section) && sameSection(saved, defaults, section))
                saved.eraseSection(section);
            continue;
        }
        for (const QString& key : defaults.keys(section)) {
            if (isPrivate(section, key) || before.hasKey(section, key))
                continue;
            if (saved.hasKey(section, key) && sameValue(saved, defaults, section, key))
                saved.deleteKey(section, key);
        }
    }
}

} // namespace gw::systemdefaults
