#include "downloads/DownloadStatus.h"

#include "downloads/SourceAges.h"
#include "downloads/SourceCredits.h"
#include "downloads/SourceMirror.h"
#include "settings/SettingNames.h"
#include "settings/SettingsAccess.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace gw {

DownloadResults::DownloadResults(std::function<QString()> settingsFile)
    : m_values(std::move(settingsFile))
{
}

void DownloadResults::note(const QString& url, TDateTime when, const QString& result)
{
    m_values.write(Section, url, DateTimeToStr(when) + QLatin1Char(' ') + result);
}

QString DownloadResults::last(const QString& url) const
{
    return m_values.text(Section, url);
}

TDateTime timedDownloadAllowedFrom(const HostGaps& gaps, const QString& url, const QString& destination, TDateTime now)
{
    TDateTime allowed = gaps.allowedFrom(url, now);
    const double gap = HostGaps::minimumGap(url);
    const QFileInfo copy(destination);
    if (gap > 0 && copy.isFile()) {
        const TDateTime written = toDateTime(copy.lastModified());
        if (written <= now)
            allowed = std::max(allowed, written + gap);
    }
    return allowed;
}

TDateTime timedDownloadDue(
    const HostGaps& gaps, const StartSpread& spread, const QString& url, const QString& destination, TDateTime now)
{
    return spread.spreadDue(url, timedDownloadAllowedFrom(gaps, url, destination, now));
}

QList<DownloadState> downloadStates(const SettingsAccess& settings, const QString& settingsFile, TDateTime now)
{
    const auto file = [settingsFile] { return settingsFile; };
    const HostGaps gaps(file);
    const SourceAges ages(file);
    const DownloadResults results(file);
    const StartSpread spread(file);
    const QString mirrorBase = mirror::baseOf(settings.text(ctl::edtMirror));
    const auto stateOf = [&](const QString& label, const QString& address, const QString& destination) {
        DownloadState s;
        s.label = label;
        s.address = address;
        const QString asked = mirror::addressFor(mirrorBase, address);
        if (asked != address)
            s.askedAt = asked;
        s.file = destination;
        s.content = ages.contentDate(address);
        s.stale = SourceAges::isStale(address, s.content, now);
        // Without what the server said, the file's own date is the best there is.
        if (s.content <= 0 && QFileInfo(destination).isFile())
            s.content = toDateTime(QFileInfo(destination).lastModified());
        s.lastResult = results.last(address);
        s.credit = sources::creditOf(address);
        const QString stopped = gaps.stopReason(address);
        const TDateTime allowed = timedDownloadDue(gaps, spread, address, destination, now);
        s.nextFetch = !stopped.isEmpty() ? QStringLiteral("stopped (") + stopped + QLatin1Char(')')
            : allowed > now              ? DateTimeToStr(allowed)
                                         : QStringLiteral("now");
        return s;
    };
    QList<DownloadState> states;
    states << stateOf(
        QStringLiteral("cloud map"), settings.text(ctl::edtWebAdress), settings.text(ctl::edtFileDestination));
    const QString grid = ctl::sgDownloadFiles;
    for (int row = 1; row < settings.rowCount(grid); ++row) {
        const QString source = settings.cell(grid, 0, row);
        const QString destination = settings.cell(grid, 1, row);
        if (!source.isEmpty() || !destination.isEmpty())
            states << stateOf(QStringLiteral("download ") + QString::number(row), source, destination);
    }
    return states;
}

QString ageText(double days)
{
    const qint64 minutes = std::llround(std::max(0.0, days) * 24 * 60);
    if (minutes < 60)
        return QString::number(minutes) + QStringLiteral(" min");
    if (minutes < 48 * 60)
        return QString::number(minutes / 60) + QStringLiteral(" h ") + QString::number(minutes % 60)
            + QStringLiteral(" min");
    return QString::number(minutes / (24 * 60)) + QStringLiteral(" days");
}

QString downloadStatusText(const QList<DownloadState>& states, TDateTime now)
{
    QString text;
    for (const DownloadState& s : states) {
        const QString content = s.content <= 0
            ? QStringLiteral("not known")
            : DateTimeToStr(s.content) + QStringLiteral(" (") + ageText(now - s.content) + QStringLiteral(" old)")
                + (s.stale ? QStringLiteral(", stale") : QString());
        text += s.label + QLatin1Char('\n');
        text += QStringLiteral("  address:     ") + (s.address.isEmpty() ? QStringLiteral("none") : s.address)
            + QLatin1Char('\n');
        if (!s.askedAt.isEmpty())
            text += QStringLiteral("  asked at:    ") + s.askedAt + QLatin1Char('\n');
        if (!s.credit.isEmpty())
            text += QStringLiteral("  source:      ") + s.credit + QLatin1Char('\n');
        text += QStringLiteral("  file:        ") + (s.file.isEmpty() ? QStringLiteral("none") : s.file)
            + QLatin1Char('\n');
        text += QStringLiteral("  content:     ") + content + QLatin1Char('\n');
        text += QStringLiteral("  last result: ") + (s.lastResult.isEmpty() ? QStringLiteral("none yet") : s.lastResult)
            + QLatin1Char('\n');
        text += QStringLiteral("  next fetch:  ") + s.nextFetch + QLatin1Char('\n');
    }
    return text;
}

} // namespace gw
