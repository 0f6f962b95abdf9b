#pragma once
// The layers of the "Download settings" page, one check box each: the earthquakes, the aurora
// forecast, the tropical storms, the ISS, the volcanoes and the wildfires. A layer is on while a
// row of the download list fetches its service, so a row typed by hand ticks its box. Ticking
// one adds its rows (those of its services not yet there: the storms have two, the hurricane
// centre's list and the natural event tracker's storms), names its marker or satellite file
// (and the storms' arc file) in the earth's section of the renderer configuration, applies the
// configuration and fetches the rows; unticking clears the rows of that layer and takes their
// files out of the earth's section, and nothing else.
#include <QString>
#include <QStringList>

#include <functional>

namespace gw {

class ConfigEditor;
class SettingsAccess;

class DownloadLayers
{
public:
    enum class Layer { Earthquakes, Aurora, Storms, Iss, Volcanoes, Wildfires };
    static constexpr Layer All[]
        = { Layer::Earthquakes, Layer::Aurora, Layer::Storms, Layer::Iss, Layer::Volcanoes, Layer::Wildfires };

    // `fetchRow` downloads one row of the list (and converts it) now.
    DownloadLayers(SettingsAccess& settings, ConfigEditor& config, std::function<void(int row)> fetchRow,
        const QString& home = QString());

    // True when `url` is an address of the layer's service.
    static bool servesLayer(Layer layer, const QString& url);

    bool isOn(Layer layer) const;
    void setOn(Layer layer, bool on);

    // The configuration's entry for a row of the layer: the marker file beside the download, or
    // for the ISS the satellite file of the same name without the extension.
    static QString configEntry(Layer layer, const QString& destination);

    // The storm layer's files from the download list's rows (source, destination): its two
    // downloads (either may be missing), and the marker file (beside the list's download, else
    // beside the tracker's) and the arc file of the same name in `arcsFolder`.
    struct StormFiles
    {
        QString list, events, markerFile, arcFile;
    };
    static StormFiles stormFiles(const QList<QPair<QString, QString>>& rows, const QString& arcsFolder);

private:
    QList<int> rowsOf(Layer layer) const;
    // The configuration entries of the layer's rows by key.
    QList<QPair<QString, QString>> entriesOf(Layer layer, const QList<int>& rows) const;
    int firstFreeRow() const;
    // The earth section's values of `key`, changed by `edit` and written back when they differ.
    void editEarthEntries(const QString& key, const std::function<void(QStringList&)>& edit);

    SettingsAccess& m_settings;
    ConfigEditor& m_config;
    std::function<void(int)> m_fetchRow;
    QString m_home;
};

} // namespace gw
