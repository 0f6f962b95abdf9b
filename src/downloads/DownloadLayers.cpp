#include "downloads/DownloadLayers.h"

#include "downloads/DownloadJobs.h"
#include "downloads/FeedAddresses.h"
#include "downloads/HostGaps.h"
#include "feeds/FeedConversion.h"
#include "renderer/ConfigEditor.h"
#include "renderer/ConfigText.h"
#include "renderer/RendererLayout.h"
#include "settings/SettingNames.h"
#include "settings/SettingsAccess.h"
#include "shared/Endpoints.h"

#include <QFileInfo>
#include <QUrl>
#include <QUrlQuery>

#include <iterator>

namespace gw {

namespace {

    const QString kGrid = ctl::sgDownloadFiles;
    const QString kEarth = QStringLiteral("earth");
    constexpr int kIssNumber = 25544;

    // What ticking a layer's box adds to the download list, in the order of DownloadLayers::Layer.
    struct LayerRow
    {
        QString (*source)();
        const char* file; // in the markers folder; the ISS's in the satellites folder
    };
    const LayerRow kRows[] = {
        { endpoints::quakeFeed, "quake.csv" },
        { endpoints::auroraFeed, "aurora.json" },
        { endpoints::stormFeed, "storms.json" },
        { endpoints::issElements, "iss.tle" },
    };
    static_assert(std::size(kRows) == std::size(DownloadLayers::All));

    QString keyOf(DownloadLayers::Layer layer)
    {
        return layer == DownloadLayers::Layer::Iss ? QStringLiteral("satellite_file") : QStringLiteral("marker_file");
    }

    QString listOf(DownloadLayers::Layer layer)
    {
        return layer == DownloadLayers::Layer::Iss ? ctl::mSatfiles : ctl::mMarkerfiles;
    }

} // namespace

DownloadLayers::DownloadLayers(
    SettingsAccess& settings, ConfigEditor& config, std::function<void(int row)> fetchRow, const QString& home)
    : m_settings(settings)
    , m_config(config)
    , m_fetchRow(std::move(fetchRow))
    , m_home(home)
{
}

bool DownloadLayers::servesLayer(Layer layer, const QString& url)
{
    const feeds::Kind kind = sources::feedKindOf(url);
    switch (layer) {
    case Layer::Earthquakes:
        return kind == feeds::Kind::Quake || kind == feeds::Kind::QuakeList;
    case Layer::Aurora:
        return kind == feeds::Kind::Aurora;
    case Layer::Storms:
        return kind == feeds::Kind::Storms;
    case Layer::Iss:
        // The station's elements from the satellite-element site, in whatever form asked.
        return HostGaps::isSatelliteSite(url)
            && QUrlQuery(QUrl(url)).queryItemValue(QStringLiteral("CATNR")).toInt() == kIssNumber;
    }
    return false;
}

QString DownloadLayers::configEntry(Layer layer, const QString& destination)
{
    if (layer == Layer::Iss) {
        const QString name = QFileInfo(destination).fileName();
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        return dot > 0 ? name.left(dot) : QString();
    }
    return QFileInfo(DownloadJobs::markerFileFor(destination)).fileName();
}

QList<int> DownloadLayers::rowsOf(Layer layer) const
{
    QList<int> rows;
    for (int row = 1; row < m_settings.rowCount(kGrid); ++row)
        if (servesLayer(layer, m_settings.cell(kGrid, 0, row)))
            rows << row;
    return rows;
}

int DownloadLayers::firstFreeRow() const
{
    for (int row = 1; row < m_settings.rowCount(kGrid); ++row)
        if (m_settings.cell(kGrid, 0, row).isEmpty() && m_settings.cell(kGrid, 1, row).isEmpty())
            return row;
    return -1;
}

bool DownloadLayers::isOn(Layer layer) const
{
    return !rowsOf(layer).isEmpty();
}

void DownloadLayers::editEarthEntries(const QString& key, const std::function<void(QStringList&)>& edit)
{
    const QStringList& lines = m_config.configLines();
    const qsizetype header = findBodySection(lines, kEarth);
    if (header < 0)
        return;
    const QString prefix = key + QLatin1Char('=');
    QStringList values;
    for (qsizetype i = header + 1; i < sectionEnd(lines, header); ++i)
        if (lines.at(i).startsWith(prefix))
            values << withoutComment(lines.at(i)).mid(prefix.size());
    QStringList changed = values;
    edit(changed);
    if (changed == values)
        return;
    m_config.changeConfigParameter(kEarth, key, changed);
    m_config.btnApplyChangesClick();
}

void DownloadLayers::setOn(Layer layer, bool on)
{
    QList<int> rows = rowsOf(layer);
    QStringList entries;
    for (int row : rows)
        entries << configEntry(layer, m_settings.cell(kGrid, 1, row));
    if (on && rows.isEmpty()) {
        const int row = firstFreeRow();
        if (row < 0)
            return; // a full list: the user makes room
        const RendererLayout layout(m_settings.text(ctl::edtAppFile), m_home);
        const QString source = kRows[int(layer)].source();
        const QString destination = (layer == Layer::Iss ? layout.satellitesFolder() : layout.markersFolder())
            + QLatin1String(kRows[int(layer)].file);
        m_settings.setCell(kGrid, 0, row, source);
        m_settings.setCell(kGrid, 1, row, destination);
        rows << row;
        entries << configEntry(layer, destination);
    }
    if (!on) {
        for (int row : rows) {
            m_settings.setCell(kGrid, 0, row, QString());
            m_settings.setCell(kGrid, 1, row, QString());
        }
    }
    entries.removeAll(QString());
    // The lists of the configuration tab show the chosen body: they follow when it is the earth.
    const bool shown = m_settings.text(ctl::ddbBodyTarget) == kEarth;
    editEarthEntries(keyOf(layer), [&](QStringList& values) {
        for (const QString& entry : entries) {
            if (on && !values.contains(entry))
                values << entry;
            if (!on)
                values.removeAll(entry);
        }
        if (shown)
            m_settings.setLines(listOf(layer), values);
    });
    if (on && m_fetchRow)
        for (int row : rows)
            m_fetchRow(row);
}

} // namespace gw
