#include "net/DownloadRecords.h"

#include "settings/IniFile.h"
#include "shared/DateTime.h"
#include "shared/Error.h"

namespace gw {

DownloadRecords::DownloadRecords(std::function<QString()> settingsFile)
    : m_settingsFile(std::move(settingsFile))
{
}

QString DownloadRecords::keyFor(const QString& url)
{
    QString key = url;
    key.replace(QLatin1Char('='), QStringLiteral("%3D"));
    key.replace(QLatin1Char('\r'), QStringLiteral("%0D"));
    key.replace(QLatin1Char('\n'), QStringLiteral("%0A"));
    return key;
}

QString DownloadRecords::recorded(const QString& url) const
{
    const IniFile ini(m_settingsFile());
    return ini.readString(Section, keyFor(url), DateTimeToStr(TDateTime(0)));
}

void DownloadRecords::DateTimeDownloadedFile(const QString& url, const QString& text)
{
    if (text.isEmpty())
        return;
    IniFile ini(m_settingsFile());
    QString error;
    if (!ini.load(&error))
        throw Error(error);
    ini.writeString(Section, keyFor(url), text);
    if (!ini.save(&error))
        throw Error(error);
}

} // namespace gw
