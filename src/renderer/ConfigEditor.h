#pragma once
// The "XPlanet Configuration" tab: one renderer configuration and one body are chosen; the
// body's keys are shown in the tab's controls, every edit goes into an in-memory copy of the
// file that is saved to the working file "tarn", and "Apply changes" writes the copy over the
// chosen configuration in the per-user folder. A configuration that exists only in xplanet's
// system folder is read from there.
//
// Controls used (by objectName): ddbConfig, ddbBodyTarget, map, night_map, cloud_map,
// cbDrawOrbit, seMagnify, BodyColor, OrbitColor, mMarkerfiles, mSatfiles, mBodyText,
// edtBackImage, edtAppFile. Errors (unreadable or unwritable files) are thrown as gw::Error for
// the application's error handler. A value the controls cannot show (a colour xplanet knows
// but this tab does not) is no error: the control keeps its value and the line is kept.
#include "renderer/ConfigText.h"
#include "renderer/RendererLayout.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace gw {

class Dialogs;
class SettingsAccess;

class ConfigEditor
{
public:
    // `home` is the user's home folder (the renderer folder lies below it); empty: the real one.
    ConfigEditor(SettingsAccess& settings, Dialogs& dialogs, const QString& home = QString());

    // Settings loading keeps its own flag; while it is set the edit handlers do nothing too.
    void setSettingsLoadingProbe(std::function<bool()> probe) { m_settingsLoading = std::move(probe); }
    bool ConfigLoading() const;

    RendererLayout layout() const;
    QString workingFile() const; // per-user configuration folder + "tarn"
    // Where a configuration of this name is read: the per-user folder, else the system folder
    // when the file lies only there.
    QString configSource(const QString& name) const;
    // Where "Apply changes" writes it: always the per-user folder.
    QString configTarget(const QString& name) const;

    // Item list of ddbConfig: the files of the per-user and the system configuration folder,
    // each name once, "readme.txt" left out.
    void getConfigs();
    void ddbConfigChange();
    void ddbBodyTargetChange();

    static ConfigLines getConfig(const QString& path);
    static QStringList getConfigTextOfBody(const QString& path, const QString& body);
    void getParameterFromConfig(const QStringList& lines, const QString& body);
    // Returns false when the body has no section, so nothing changed.
    bool changeConfigParameter(const QString& body, const QString& key, const QStringList& values);
    void btnApplyChangesClick();
    // Names `file` as the cloud map of `body` in the chosen configuration and applies it,
    // unless that body names one already or has no section; true when it did.
    bool nameCloudMapIfNone(const QString& body, const QString& file);

    // Change handlers of the edit controls.
    void mapChange();
    void night_mapChange();
    void cloud_mapChange();
    void cbDrawOrbitClick();
    void seMagnifyChange();
    void btnColorClick();
    void btnOrbitColorClick();

    // "..." buttons: the chosen file's bare name goes into the field. The window's change signal
    // of a map field then runs its change handler.
    void btnDayImageClick();
    void btnNightImageClick();
    void btnCloudImageClick();
    void btnBackImageClick();

    const QStringList& configLines() const { return m_config.lines; }

private:
    void editOne(const QString& key, const QString& value);
    void showValue(const QString& control, std::optional<int> value);
    QStringList colorNameFiles() const;
    void chooseColor(const QString& control, const QString& key);
    void chooseImage(const QString& title, const QString& field);
    void showBodyText(const QString& path);

    SettingsAccess& m_settings;
    Dialogs& m_dialogs;
    QString m_home;
    ConfigLines m_config;
    bool m_loading = false;
    std::function<bool()> m_settingsLoading;
};

} // namespace gw
