#include "update/UpdateInfo.h"

#include "settings/IniFile.h"

#include <QRegularExpression>
#include <QUrl>

namespace gw {

namespace {

    UpdateInfo readFrom(const IniFile& ini)
    {
        const QString section = QStringLiteral("Globewall");
        UpdateInfo info;
        info.Version = ini.readString(section, QStringLiteral("Version"), QString());
        info.Beta = ini.readString(section, QStringLiteral("Beta"), QString());
        info.URL1 = ini.readString(section, QStringLiteral("URL1"), QString());
        info.URL2 = ini.readString(section, QStringLiteral("URL2"), QString());
        info.URL3 = ini.readString(section, QStringLiteral("URL3"), QString());
        info.Description = ini.readString(section, QStringLiteral("Description"), QString());
        info.Date = ini.readString(section, QStringLiteral("Date"), QString());
        info.SHA256 = ini.readString(section, QStringLiteral("SHA256"), QString());
        // A version is numbers between dots: anything else is not a description of a release.
        static const QRegularExpression kVersion(QStringLiteral("^[0-9]+(\\.[0-9]+)*$"));
        if (!kVersion.match(info.Version.trimmed()).hasMatch())
            info.problem = QStringLiteral("no version number in it");
        return info;
    }

} // namespace

UpdateInfo UpdateInfo::read(const QString& path)
{
    IniFile ini(path);
    ini.load();
    return readFrom(ini);
}

UpdateInfo UpdateInfo::fromBytes(const QByteArray& bytes)
{
    IniFile ini(QString {});
    ini.loadFromBytes(bytes);
    return readFrom(ini);
}

bool isNewerRelease(
    const QString& remoteVersion, const QString& remoteBeta, const QString& ownVersion, const QString& ownBeta)
{
    // QString::compare orders by UTF-16 code units, left to right, a prefix before the longer text.
    const int byVersion = QString::compare(remoteVersion, ownVersion, Qt::CaseSensitive);
    if (byVersion != 0)
        return byVersion > 0;
    return QString::compare(remoteBeta, ownBeta, Qt::CaseSensitive) > 0;
}

QString proposedFileName(const QString& url)
{
    qsizetype start = url.indexOf(QLatin1String("globewall_"), 0, Qt::CaseSensitive);
    if (start < 0)
        start = 0;
    const qsizetype dot = url.lastIndexOf(QLatin1Char('.'));
    QString proposal = dot >= start ? url.mid(start, dot - start + 4) : url.mid(start);
    const qsizetype slash = proposal.lastIndexOf(QLatin1Char('/'));
    if (slash >= 0)
        proposal = proposal.mid(slash + 1);
    return proposal;
}

QString proposedExtension(const QString& proposal)
{
    const qsizetype dot = proposal.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : proposal.mid(dot + 1, 3);
}

bool matchesSha256(const QByteArray& digest, const QString& expectedHex)
{
    const QByteArray expected = expectedHex.trimmed().toLatin1().toLower();
    return digest.size() == 32 && expected == digest.toHex();
}

bool isPlainTransfer(const QString& url)
{
    return !url.trimmed().startsWith(QLatin1String("https:"), Qt::CaseInsensitive);
}

QString hostOf(const QString& url)
{
    const QUrl parsed(url);
    if (parsed.host().isEmpty())
        return url;
    return parsed.port() < 0 ? parsed.host() : parsed.host() + QLatin1Char(':') + QString::number(parsed.port());
}

} // namespace gw
