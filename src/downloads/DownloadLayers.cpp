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

#include <algorithm>
#include <iterator>

namespace gw {

namespace {

    const QString kGrid = ctl::sgDownloadFiles;
    const QString kEarth = QStringLiteral("earth");
    constexpr int kIssNumber = 25544;

    const QString kMarkerKey = QStringLiteral("marker_file");
    const QString kSatelliteKey = QStringLiteral("satellite_file");
    const QString kArcKey = QStringLiteral("arc_file");

    QString stormEvents()
    {
        return endpoints::naturalEvents(QStringLiteral("severeStorms"));
    }
    QString volcanoEvents()
    {
        return endpoints::naturalEvents(QStringLiteral("volcanoes"));
    }
    QString wildfireEvents()
    {
        return endpoints::naturalEvents(QStringLiteral("wildfires"));
    }

    // What ticking a layer's box adds to the download list.
    struct LayerRow
    {
        DownloadLayers::Layer layer;
        QString (*source)();
        const char* file; // in the markers folder; the ISS's in the satellites folder
    };
    const LayerRow kRows[] = {
        { DownloadLayers::Layer::Earthquakes, endpoints::quakeFeed, "quake.csv" },
        { DownloadLayers::Layer::Aurora, endpoints::auroraFeed, "aurora.json" },
        { DownloadLayers::Layer::Storms, endpoints::stormFeed, "storms.json" },
        { DownloadLayers::Layer::Storms, stormEvents, "storm-events.json" },
        { DownloadLayers::Layer::Iss, endpoints::issElements, "iss.tle" },
        { DownloadLayers::Layer::Volcanoes, volcanoEvents, "volcanoes.json" },
        { DownloadLayers::Layer::Wildfires, wildfireEvents, "wildfires.json" },
    };

    QString listOf(const QString& key)
    {
        return key == kSatelliteKey ? ctl::mSatfiles : key == kMarkerKey ? ctl::mMarkerfiles : QString();
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
        return kind == feeds::Kind::Storms || kind == feeds::Kind::EonetStorms;
    case Layer::Volcanoes:
        return kind == feeds::Kind::Volcanoes;
    case Layer::Wildfires:
        return kind == feeds::Kind::Wildfires;
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

DownloadLayers::StormFiles DownloadLayers::stormFiles(
    const QList<QPair<QString, QString>>& rows, const QString& arcsFolder)
{
    StormFiles files;
    for (const auto& [source, destination] : rows) {
        const feeds::Kind kind = sources::feedKindOf(source);
        if (kind == feeds::Kind::Storms && files.list.isEmpty())
            files.list = destination;
        if (kind == feeds::Kind::EonetStorms && files.events.isEmpty())
            files.events = destination;
    }
    const QString named = files.list.isEmpty() ? files.events : files.list;
    if (named.isEmpty())
        return files;
    files.markerFile = DownloadJobs::markerFileFor(named);
    files.arcFile = arcsFolder + QFileInfo(files.markerFile).completeBaseName() + QStringLiteral(".arc");
    return files;
}

QList<QPair<QString, QString>> DownloadLayers::entriesOf(Layer layer, const QList<int>& rows) const
{
    QList<QPair<QString, QString>> entries;
    if (layer == Layer::Storms) {
        QList<QPair<QString, QString>> list;
        for (int row : rows)
            list.append({ m_settings.cell(kGrid, 0, row), m_settings.cell(kGrid, 1, row) });
        const StormFiles files = stormFiles(list, QString());
        if (!files.markerFile.isEmpty())
            entries = { { kMarkerKey, QFileInfo(files.markerFile).fileName() },
                { kArcKey, QFileInfo(files.arcFile).fileName() } };
        return entries;
    }
    const QString key = layer == Layer::Iss ? kSatelliteKey : kMarkerKey;
    for (int row : rows) {
        const QString entry = configEntry(layer, m_settings.cell(kGrid, 1, row));
        if (!entry.isEmpty())
            entries.append({ key, entry });
    }
    return entries;
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
    QList<QPair<QString, QString>> entries = entriesOf(layer, rows);
    if (on) {
        // Each of the layer's services without a row gets one: a storm list typed by hand
        // still gets the tracker's storms beside it.
        const RendererLayout layout(m_settings.text(ctl::edtAppFile), m_home);
        for (const LayerRow& wanted : kRows) {
            if (wanted.layer != layer)
                continue;
            const QString source = wanted.source();
            const feeds::Kind kind = sources::feedKindOf(source);
            const bool there = std::any_of(rows.begin(), rows.end(),
                [&](int row) { return sources::feedKindOf(m_settings.cell(kGrid, 0, row)) == kind; });
            if (there)
                continue;
            const int row = firstFreeRow();
            if (row < 0)
                break; // a full list: the user makes room
            const QString destination = (layer == Layer::Iss ? layout.satellitesFolder() : layout.markersFolder())
                + QLatin1String(wanted.file);
            m_settings.setCell(kGrid, 0, row, source);
            m_settings.setCell(kGrid, 1, row, destination);
            rows << row;
        }
        // The files of all its rows now: a second storm download changes no file names
        // unless it is the list, whose download then names them.
        entries = entriesOf(layer, rows);
    } else {
        for (int row : rows) {
            m_settings.setCell(kGrid, 0, row, QString());
            m_settings.setCell(kGrid, 1, row, QString());
        }
    }
    // The lists of the configuration tab show the chosen body: they follow when it is the earth.
    const bool shown = m_settings.text(ctl::ddbBodyTarget) == kEarth;
    for (const QString& key : { kMarkerKey, kSatelliteKey, kArcKey }) {
        QStringList keyed;
        for (const auto& [entryKey, entry] : entries)
            if (entryKey == key)
                keyed << entry;
        if (keyed.isEmpty())
            continue;
        editEarthEntries(key, [&](QStringList& values) {
            for (const QString& entry : keyed) {
                if (on && !values.contains(entry))
                    values << entry;
                if (!on)
                    values.removeAll(entry);
            }
            if (shown && !listOf(key).isEmpty())
                m_settings.setLines(listOf(key), values);
        });
    }
    if (on && m_fetchRow)
        for (int row : rows)
            m_fetchRow(row);
}

} // namespace gw
