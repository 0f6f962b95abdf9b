#pragma once
// The marker and satellite lists of the "XPlanet Configuration" tab (mMarkerfiles, mSatfiles):
// adding and removing entries, which written back into the body's section of the
// configuration, opening an entry in the text editor, and the satellite file made for a newly
// downloaded TLE file. The window owns the list widgets and their selection; it passes the
// selected rows in and shows the popup menus where mouseDown says so.
#include <QList>
#include <QString>
#include <functional>

namespace gw {

class ConfigEditor;
class Dialogs;
class SettingsAccess;

class MarkerSatelliteFiles
{
public:
    // Opens a file in the program the desktop associates with an extension; throws gw::Error
    // when that program cannot be started.
    using StartFileWithExtension = std::function<void(const QString& file, const QString& extension)>;

    MarkerSatelliteFiles(
        SettingsAccess& settings, Dialogs& dialogs, ConfigEditor& config, StartFileWithExtension startFile);

    void btnChoosMarkerfileClick();
    void btnChooseSatelliteClick();
    // What the two buttons do once a file is chosen: its bare name goes into the list and into
    // the chosen body's section of the configuration (the working file), unless the list holds
    // it already. Returns whether the configuration's lines changed; "Apply changes" writes them.
    bool addMarkerFile(const QString& name);
    bool addSatelliteFile(const QString& name);
    // The night side from the picture xplanet's images hold, for the earth of a first start:
    // "night_map=night.jpg" when that picture exists and the earth's section names none.
    // Returns whether the configuration's lines changed.
    bool addNightMapWhenMissing();
    // Also the "delete from list" entries of the popup menus.
    void btnRemoveMarkerfileClick(const QList<int>& selectedRows);
    void btnRemoveSatelliteClick(const QList<int>& selectedRows);
    // "edit file" of the popup menus.
    void Openineditor1Click(const QList<int>& selectedRows);
    void Openineditor2Click(const QList<int>& selectedRows);

    // A mouse press on one of the lists. The window clears the selection when `clearSelection`,
    // then selects `selectRow` (when not -1) and opens the list's popup menu when `openMenu`.
    struct MouseDownResult
    {
        bool clearSelection = false;
        int selectRow = -1;
        bool openMenu = false;
        bool operator==(const MouseDownResult&) const = default;
    };
    // `rowUnderPointer` is -1 when the pointer is on no entry.
    static MouseDownResult listMouseDown(bool rightButton, int rowUnderPointer);

    // For a downloaded TLE file: writes the satellite file of the same name without extension
    // when none exists, after asking for its picture, and lists it in mSatfiles (the
    // configuration is written with the next change of the list). Cancelling the picture choice
    // ends it without writing anything. Throws gw::Error when the file cannot be written.
    void GenerateSatFile(const QString& tleFile);

    // For a TLE file downloaded with no one to ask: the satellite file of the same name without
    // extension, when none exists and the TLE file holds a satellite. Its picture is
    // "<name>.png" when one of `pictureFolders` holds it, else the satellite is drawn without
    // one. Returns the satellite file's name when it was written, else the empty text; throws
    // gw::Error when it cannot be written. A file that exists is never touched: the user may
    // have edited it.
    // With `trail`, the satellite carries its orbit trail (see satelliteFileText).
    static QString writeSatelliteFileFor(const QString& tleFile, const QStringList& pictureFolders, bool trail = false);

    // The catalogue number of the first satellite in TLE text (columns 3 to 7 of its line 1),
    // or "0" when the text holds no satellite.
    static QString firstCatalogueNumber(const QByteArray& tle);
    // The eight lines of a generated satellite file, each ended by CR LF; no picture options for
    // an empty picture. With `trail`, xplanet draws the track from ten minutes ago to 45 minutes
    // ahead (half an orbit of the ISS).
    static QByteArray satelliteFileText(const QString& catalogueNumber, const QString& picture, bool trail = false);
    // Adds or removes the orbit trail in the satellite files of `folder` that this program wrote
    // (known by their second line); files the user wrote are never touched. Returns how many
    // files changed; throws gw::Error when one cannot be written.
    static int setTrailInGeneratedFiles(const QString& folder, bool trail);

private:
    bool addEntry(const QString& list, const QString& key, const QString& name);
    void removeRows(const QString& list, const QString& key, const QList<int>& selectedRows);
    void openInEditor(
        const QString& list, const QString& folder, const QString& notOne, const QList<int>& selectedRows);
    bool liesDirectlyIn(const QString& file, const QString& folder) const;
    // Asks for a file in `folder`; empty when cancelled or (after `kind`'s warning) chosen elsewhere.
    QString chooseFileIn(const QString& folder, const QString& title, const QString& kind);

    SettingsAccess& m_settings;
    Dialogs& m_dialogs;
    ConfigEditor& m_config;
    StartFileWithExtension m_startFile;
};

} // namespace gw
