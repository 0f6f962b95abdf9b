#pragma once
// The settings file: IniLoad copies the settings of an INI file into the controls, IniSave
// copies them back. The base file "Globewall.ini" in the program folder names the current
// settings file (by default itself), so "Save config as ..." survives a restart.
#include "settings/SettingsAccess.h"

#include <QByteArray>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>

namespace gw {

class IniFile;

// The steps of IniLoad that call into other parts of the program; the defaults do nothing.
class SettingsFileHooks
{
public:
    virtual ~SettingsFileHooks() = default;
    virtual void configFileLabelChanged(const QString& /*caption*/) { } // lbConfigFileName caption
    // Called when the stored master switch differs from `Globewallenabled`. When the switch
    // still differs afterwards, the loader sets it itself, so the stored value always wins.
    virtual void GlobewallenabledClick() { }
    virtual void getConfigs() { }
    virtual void ddbConfigChange() { }
    virtual void detectAutostart() { }
    virtual void btnMakeBGTransparentClick() { }
    virtual void edtParameterChange() { }
    virtual void cbProjektionChange() { }
    virtual void iconFontColorChanged(int /*colour*/) { }
    // The cloud map's destination when the file has none (the renderer's images folder).
    virtual QString defaultCloudDestination() { return QString(); }
    // Before each save: the window's place and size into their hidden settings.
    virtual void storeWindowState() { }
    // A line for the log: the keyring refused the proxy password or could not give it back.
    virtual void logLine(const QString& /*line*/) { }
    // The last step of a load: stored values that have moved on (an address no longer
    // published) are brought up to date.
    virtual void settingsRead() { }
};

class PasswordVault;

class SettingsFile
{
public:
    // `screenSize` is the primary screen's: half of it is the default centre of the globe.
    // With a `vault` that answers, the proxy password is kept there instead of in the file.
    SettingsFile(SettingsAccess& settings, SettingsFileHooks& hooks, const QString& programDir, QSize screenSize,
        PasswordVault* vault = nullptr);

    // Empty: the current settings file is the one the base file names. Every step runs even
    // when one fails (an unreadable file, a hook that throws); their errors are thrown
    // together as one gw::Error at the end.
    void IniLoad(const QString& fileName);
    // Non-empty: that file becomes the current settings file and the base file records it.
    // Empty: the base file becomes the current settings file. Each file is replaced at once, the
    // settings before the base file's record of them; a refused write throws gw::Error naming
    // the file, and the files not yet written stay as they were.
    void IniSave(const QString& fileName);

    QString baseFile() const; // programDir + "Globewall.ini", unless set below
    // Another base file, for a profile named on the command line.
    void setBaseFile(const QString& file) { m_baseFile = file; }
    const QString& ConfigFileName() const { return m_configFileName; }
    void setConfigFileName(const QString& fileName) { m_configFileName = fileName; }
    bool SettingsLoaded() const { return m_settingsLoaded; }
    bool ConfigLoading() const { return m_configLoading; }

    // Empty when the file name `name` comes back unchanged from a value of the settings file
    // (the base file records the current settings file by name), else why it would not. A
    // name decoded from bytes that are not UTF-8 holds U+FFFD and would open another file.
    static QString fileNameProblem(const QString& name);

    // Limit on the entries of the time list and the server list taken from a file, so a
    // hand-edited count cannot make the program fill memory with empty lines.
    static constexpr int MaxListEntries = 10000;

    // All keyring calls of one load, and of one save, end within this time; past it the
    // password is handled as with a locked keyring.
    static constexpr int KeyringWaitMs = 2000;

    // How the proxy password is kept in a one-line value; see SettingsFile.cpp.
    static QByteArray storedPassword(const QString& password);
    static QString passwordFromStored(const QByteArray& stored);
    // Key "Proxy Password Store": where the proxy password is, PasswordInFile or PasswordInKeyring.
    static inline const QString PasswordStoreKey = QStringLiteral("Proxy Password Store");
    static inline const QString PasswordInFile = QStringLiteral("settings file");
    static inline const QString PasswordInKeyring = QStringLiteral("Secret Service");

private:
    QString resolve(const QString& fileName) const;
    void showConfigFileName();
    void loadConfigSection(const IniFile& ini);
    void loadLists(const IniFile& ini);
    void loadDownloadGrid(const IniFile& ini);
    void loadParameters(const IniFile& ini);
    void saveInto(IniFile& ini);
    void loadProxyPassword(const IniFile& ini);
    void placeProxyPassword(IniFile& ini);
    void step(const std::function<void()>& f);
    void noteLoadError(const IniFile& ini);

    SettingsAccess& m_settings;
    SettingsFileHooks& m_hooks;
    QString m_programDir;
    QSize m_screenSize;
    QString m_configFileName;
    QString m_baseFile;
    bool m_settingsLoaded = false;
    bool m_configLoading = false;
    QStringList m_loadErrors;
    PasswordVault* m_vault = nullptr;
    QString m_passwordLeftInVault; // a file whose keyring password could not be read at the load
};

} // namespace gw
