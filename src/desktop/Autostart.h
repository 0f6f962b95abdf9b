#pragma once
// "Globewall at Startup": the desktop session's per-user autostart entry
// $XDG_CONFIG_HOME/autostart/Globewall.desktop, which starts this program with no arguments.
// The radio buttons rbYes/rbNo write and remove it; their state is not kept in the settings
// file but read back from the entry at the end of every settings load.
#include <QString>

namespace gw {

class SettingsAccess;

class Autostart
{
public:
    // `programFile` is this program's full path; `autostartFolder` the folder of autostart
    // entries. Empty arguments mean the running program and $XDG_CONFIG_HOME/autostart
    // (~/.config/autostart when the variable is unset).
    explicit Autostart(
        SettingsAccess& settings, const QString& programFile = QString(), const QString& autostartFolder = QString());

    // "Yes": writes the entry with the quoted program path. A folder that cannot be made
    // leaves everything as it is; an entry that cannot be written raises gw::Error.
    void rbYesClick();
    // "No": removes the entry; a missing entry is no error.
    void rbNoClick();
    // Run after every settings load: selects "Yes" when the entry's Exec line contains the
    // program path (compared in upper case) and the desktop has not switched the entry off
    // (Hidden=true, X-GNOME-Autostart-enabled=false), else "No"; selecting the button that was not
    // selected runs its handler, so a stale entry of a moved program is removed. The window
    // must run the handlers on user clicks only (QAbstractButton::clicked), not on toggled.
    void detect();

    QString entryFile() const;
    const QString& programFile() const { return m_programFile; }

    // The Exec value for a program path, quoted and escaped as desktop entries require.
    static QString execValue(const QString& programFile);
    // The command an Exec value stands for, escapes removed.
    static QString unescapeExec(const QString& value);

private:
    SettingsAccess& m_settings;
    QString m_programFile;
    QString m_folder;
};

} // namespace gw
