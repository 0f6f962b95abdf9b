#include "settings/SettingsFile.h"

#include "settings/Defaults.h"
#include "settings/IniFile.h"
#include "settings/PasswordVault.h"
#include "settings/SettingNames.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsTable.h"
#include "settings/SystemDefaults.h"
#include "shared/Error.h"
#include "shared/FlagGuard.h"
#include "shared/OutsideText.h"
#include "shared/Scramble.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>
#include <QVariant>

#include <algorithm>

namespace gw {

namespace sf = settingsfile;

namespace {

    const QString MasterSwitch = ctl::Globewallenabled;
    const QString AppFile = ctl::edtAppFile;

    QString sectionName(FileSection section)
    {
        switch (section) {
        case FileSection::Config:
            return sf::Config;
        case FileSection::Debug:
            return sf::Debug;
        case FileSection::ParameterSelection:
            return sf::ParameterSelection;
        case FileSection::NewParameter:
            return sf::NewParameter;
        case FileSection::Window:
            return sf::Window;
        case FileSection::None:
            break;
        }
        return QString();
    }

    const SettingRow& entryFor(FileSection section, const QString& control)
    {
        const auto& rows = settingsIn(section);
        const auto it = std::find_if(rows.begin(), rows.end(), [&](const SettingRow* e) { return e->name == control; });
        Q_ASSERT(it != rows.end());
        return **it;
    }

    // The path with every link resolved, also for a file that does not exist yet: the nearest
    // folder above it that exists is resolved and the rest appended. The keyring keys the proxy
    // password by this name, so a settings folder reached through a link (a linked ~/.config)
    // gives the same name before the file's first save as after it.
    QString canonical(const QString& path)
    {
        const QFileInfo info(path);
        const QString real = info.canonicalFilePath();
        if (!real.isEmpty())
            return real;
        const QString clean = QDir::cleanPath(info.absoluteFilePath());
        const qsizetype slash = clean.lastIndexOf(QLatin1Char('/'));
        if (slash <= 0)
            return clean;
        QString folder = canonical(clean.left(slash));
        if (!folder.endsWith(QLatin1Char('/')))
            folder += QLatin1Char('/');
        return folder + clean.mid(slash + 1);
    }

    // The file as it is now, so that a save keeps every entry it does not write. A file that exists
    // but cannot be read must not be replaced by one holding only our entries.
    IniFile readForSave(const QString& path)
    {
        IniFile ini(path);
        if (!ini.loadError().isEmpty())
            throw Error(ini.loadError());
        return ini;
    }

    void commit(const IniFile& ini)
    {
        QString error;
        if (!ini.save(&error))
            throw Error(error);
    }

    // "0," or "1," followed by the row: the column is the integer before the first comma, the row
    // the integer formed by up to three characters after it.
    bool parseGridKey(const QString& key, int* column, int* row)
    {
        const qsizetype comma = key.indexOf(QLatin1Char(','));
        if (comma < 0)
            return false;
        return IniFile::parseInteger(key.left(comma), column) && IniFile::parseInteger(key.mid(comma + 1, 3), row);
    }

} // namespace

SettingsFile::SettingsFile(SettingsAccess& settings, SettingsFileHooks& hooks, const QString& programDir,
    QSize screenSize, PasswordVault* vault)
    : m_settings(settings)
    , m_hooks(hooks)
    , m_programDir(programDir)
    , m_screenSize(screenSize)
    , m_vault(vault)
{
    if (!m_programDir.isEmpty() && !m_programDir.endsWith(QLatin1Char('/')))
        m_programDir += QLatin1Char('/');
}

QString SettingsFile::baseFile() const
{
    return m_baseFile.isEmpty() ? m_programDir + sf::BaseFileName : m_baseFile;
}

// A relative name is taken to lie in the program folder, where the base file lies.
QString SettingsFile::resolve(const QString& fileName) const
{
    return QFileInfo(fileName).isRelative() ? m_programDir + fileName : fileName;
}

QString SettingsFile::fileNameProblem(const QString& name)
{
    const QString cannot = QStringLiteral(" cannot be kept in the settings file");
    if (name.contains(QLatin1Char('\n')) || name.contains(QLatin1Char('\r')))
        return QStringLiteral("a settings file name with a line break") + cannot;
    // The settings file shows other control characters as text (ESC as "\x1B").
    if (plainOutsideText(name, LineBreaks::Keep) != name)
        return QStringLiteral("a settings file name with a control character") + cannot;
    if (name.contains(QChar::ReplacementCharacter))
        return QStringLiteral("a settings file name that is not UTF-8 text") + cannot;
    // A value loses the blanks at its ends when it is read.
    const char16_t last = name.isEmpty() ? u'\0' : name.back().unicode();
    if (last == u' ' || last == u'\t' || last == u'\v' || last == u'\f')
        return QStringLiteral("a settings file name that ends in a blank") + cannot;
    if (name.size() > IniFile::MaxValueLength)
        return QStringLiteral("a settings file name longer than %1 characters").arg(IniFile::MaxValueLength) + cannot;
    return QString();
}

void SettingsFile::showConfigFileName()
{
    m_hooks.configFileLabelChanged(QStringLiteral("Current Config File: ") + QFileInfo(m_configFileName).fileName());
}

/*
 * The proxy password is the UTF-8 form of its text, scrambled by Crypt. Most scrambled forms
 * are stored as they are, which keeps files written by earlier versions loadable. A few cannot
 * live in a one-line value: a zero byte (from 0x9C), CR or LF (from 0x91, 0x96), and blanks or
 * control characters at either end, which the reader trims. Those are stored as "!" followed by
 * the scrambled bytes in upper-case hex. No plain stored form begins with "!": that would
 * unscramble to 0xBD, a UTF-8 continuation byte, which never starts valid UTF-8.
 */
QByteArray SettingsFile::storedPassword(const QString& password)
{
    const QByteArray scrambled = Crypt(password.toUtf8());
    if (scrambled.isEmpty())
        return scrambled;
    auto isBlank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    const bool keepsAsIs = !scrambled.contains('\0') && !scrambled.contains('\r') && !scrambled.contains('\n')
        && !isBlank(scrambled.front()) && !isBlank(scrambled.back()) && scrambled.front() != '!';
    return keepsAsIs ? scrambled : QByteArray("!") + scrambled.toHex().toUpper();
}

QString SettingsFile::passwordFromStored(const QByteArray& stored)
{
    QByteArray scrambled = stored;
    const QByteArray hex = stored.mid(1);
    const bool isHex = !hex.isEmpty() && hex.size() % 2 == 0
        && std::all_of(hex.begin(), hex.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); });
    if (stored.startsWith('!') && isHex)
        scrambled = QByteArray::fromHex(hex);
    const QByteArray bytes = Crypt(scrambled);
    // Files from a system whose passwords were not UTF-8 still give every character back.
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decoded = utf8(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : decoded;
}

namespace {

    class EntryIo
    {
    public:
        EntryIo(SettingsAccess& settings, SettingsFileHooks& hooks, QSize screenSize)
            : m_settings(settings)
            , m_hooks(hooks)
            , m_screenSize(screenSize)
        {
        }

        void load(const IniFile& ini, const SettingRow& e)
        {
            const QString section = sectionName(e.section);
            switch (e.fileKind) {
            case FileKind::None:
                break;
            case FileKind::Text:
                m_settings.setText(e.name, ini.readString(section, e.key, defaultText(e)));
                break;
            case FileKind::Integer:
                m_settings.setInteger(e.name, ini.readInteger(section, e.key, defaultInteger(e)));
                break;
            case FileKind::Bool:
                m_settings.setChecked(e.name, ini.readBool(section, e.key, e.fileDefault.toBool()));
                break;
            case FileKind::CheckWhenTrue:
                if (ini.readBool(section, e.key, false))
                    m_settings.setChecked(e.name, true);
                break;
            case FileKind::Colour: {
                const int colour = ini.readInteger(section, e.key, e.fileDefault.toInt());
                m_settings.setInteger(e.name, colour);
                m_hooks.iconFontColorChanged(colour);
                break;
            }
            case FileKind::Password:
                m_settings.setText(e.name, SettingsFile::passwordFromStored(ini.readBytes(section, e.key, {})));
                break;
            }
        }

        void save(IniFile& ini, const SettingRow& e) const
        {
            const QString section = sectionName(e.section);
            switch (e.fileKind) {
            case FileKind::None:
                break;
            case FileKind::Text:
                ini.writeString(section, e.key, m_settings.text(e.name));
                break;
            case FileKind::Integer:
            case FileKind::Colour:
                ini.writeInteger(section, e.key, m_settings.integer(e.name));
                break;
            case FileKind::Bool:
            case FileKind::CheckWhenTrue:
                ini.writeBool(section, e.key, m_settings.checked(e.name));
                break;
            case FileKind::Password:
                ini.writeBytes(section, e.key, SettingsFile::storedPassword(m_settings.text(e.name)));
                break;
            }
        }

    private:
        QString defaultText(const SettingRow& e) const
        {
            return e.machineDefault == MachineDefault::CloudDestination ? m_hooks.defaultCloudDestination()
                                                                        : e.fileDefault.toString();
        }
        int defaultInteger(const SettingRow& e) const
        {
            switch (e.machineDefault) {
            case MachineDefault::HalfScreenWidth:
                return m_screenSize.width() / 2;
            case MachineDefault::HalfScreenHeight:
                return m_screenSize.height() / 2;
            default:
                return e.fileDefault.toInt();
            }
        }

        SettingsAccess& m_settings;
        SettingsFileHooks& m_hooks;
        QSize m_screenSize;
    };

    // One past the highest index i for which a key prefix + i exists in the section (any of the
    // prefixes), so a list is never read beyond its last entry whatever its count says.
    int indexedKeysEnd(const IniFile& ini, const QString& section, const QStringList& prefixes)
    {
        int end = 0;
        for (const QString& key : ini.keys(section)) {
            const QString name = key.trimmed();
            for (const QString& prefix : prefixes) {
                if (!name.startsWith(prefix, Qt::CaseInsensitive))
                    continue;
                bool ok = false;
                const QString digits = name.mid(prefix.size());
                const int index = digits.toInt(&ok);
                if (ok && index >= 0 && QString::number(index) == digits)
                    end = std::max(end, index + 1);
            }
        }
        return end;
    }

    QStringList readIndexedLines(const IniFile& ini, const QString& section, const QString& prefix, int count)
    {
        QStringList lines;
        for (int i = 0; i < count; ++i)
            lines << ini.readString(section, prefix + QString::number(i), QString());
        return lines;
    }

} // namespace

void SettingsFile::IniLoad(const QString& fileName)
{
    m_loadErrors.clear();
    if (!fileName.isEmpty()) {
        m_configFileName = resolve(fileName);
    } else {
        const IniFile base(baseFile());
        noteLoadError(base);
        const QString named = base.readString(sf::Config, sf::ConfigFileKey, baseFile());
        // An empty name would leave the program without a settings file: use the base file.
        m_configFileName = named.isEmpty() ? baseFile() : resolve(named);
    }
    step([this] { showConfigFileName(); });

    // A file that cannot be read loads as an empty one; the save refuses to replace it.
    const IniFile own(m_configFileName);
    noteLoadError(own);
    // Keys the user's file lacks come from the administrator's defaults.
    const IniFile ini = systemdefaults::beneath(own, systemdefaults::read(systemdefaults::files(), &m_loadErrors));
    loadConfigSection(ini);
    loadLists(ini);
    loadDownloadGrid(ini);
    EntryIo io(m_settings, m_hooks, m_screenSize);
    for (const SettingRow* e : settingsIn(FileSection::ParameterSelection))
        io.load(ini, *e);
    m_settings.setLines(ctl::mSatfiles,
        readIndexedLines(
            ini, sf::Satellites, QStringLiteral("Satellite "), static_cast<int>(ini.keys(sf::Satellites).size())));
    m_settings.setLines(ctl::mMarkerfiles,
        readIndexedLines(
            ini, sf::Markerfiles, QStringLiteral("Markerfile "), static_cast<int>(ini.keys(sf::Markerfiles).size())));
    io.load(ini, entryFor(FileSection::Config, AppFile));

    loadParameters(ini);
    for (const SettingRow* e : settingsIn(FileSection::Window))
        io.load(ini, *e);
    m_settingsLoaded = true;

    step([this] { m_hooks.detectAutostart(); });
    if (m_settings.checked(ctl::cbMakeTransAtStart))
        step([this] { m_hooks.btnMakeBGTransparentClick(); });
    step([this] { m_hooks.edtParameterChange(); });
    step([this] { m_hooks.cbProjektionChange(); });
    step([this] { m_hooks.settingsRead(); });

    if (!m_loadErrors.isEmpty()) {
        m_loadErrors.removeDuplicates();
        const QString text = m_loadErrors.join(QLatin1Char('\n'));
        m_loadErrors.clear();
        throw Error(text);
    }
}

// Every step of the load runs, whatever an earlier one threw: a load that stopped halfway
// would leave the window's defaults in place of stored settings, and the next save would
// write them over the file. The errors are raised together at the end.
void SettingsFile::step(const std::function<void()>& f)
{
    try {
        f();
    } catch (const Error& e) {
        m_loadErrors << e.message();
    } catch (const std::exception& e) {
        m_loadErrors << QString::fromLocal8Bit(e.what());
    } catch (...) {
        m_loadErrors << QStringLiteral("Unknown error");
    }
}

void SettingsFile::noteLoadError(const IniFile& ini)
{
    if (!ini.loadError().isEmpty())
        m_loadErrors << ini.loadError();
}

void SettingsFile::loadConfigSection(const IniFile& ini)
{
    EntryIo io(m_settings, m_hooks, m_screenSize);
    for (const SettingRow* e : settingsIn(FileSection::Config)) {
        // The renderer path is read after the lists, the master switch last of all.
        if (e->name == AppFile || e->name == MasterSwitch)
            continue;
        if (e->name == ctl::cbUseTempDir)
            for (const SettingRow* d : settingsIn(FileSection::Debug))
                io.load(ini, *d);
        io.load(ini, *e);
    }
    m_settings.setText(
        ctl::UserAgent, ini.readString(sf::Config, QStringLiteral("User Agent"), m_settings.text(ctl::UserAgent)));
    loadProxyPassword(ini);
    // Exactly "HTTP/1.0" selects HTTP 1.0; anything else, lower case included, is HTTP 1.1.
    const QString http10 = QStringLiteral("HTTP/1.0");
    const QString protocol = ini.readString(sf::Config, QStringLiteral("HTTP Protocol Version"), QString());
    m_settings.setText(ctl::HttpProtocolVersion, protocol == http10 ? http10 : QStringLiteral("HTTP/1.1"));

    const bool enabled = ini.readBool(sf::Config, QStringLiteral("Globewall enabled"), true);
    if (enabled != m_settings.checked(MasterSwitch)) {
        step([this] { m_hooks.GlobewallenabledClick(); });
        if (enabled != m_settings.checked(MasterSwitch))
            m_settings.setChecked(MasterSwitch, enabled);
    }
}

void SettingsFile::loadLists(const IniFile& ini)
{
    // A negative count leaves the list as it is, so the window's default server survives.
    // Entries missing between others read as empty ones; a count beyond the last entry adds none.
    // A count with no entry at all leaves the list as it is: an empty list would be saved with
    // count -1, which the next start reads as "no list", so the file would not come back alike.
    const QString timePrefix = QStringLiteral("Time ");
    const int timeCount = ini.readInteger(sf::Time, QStringLiteral("How often"), -1);
    if (timeCount >= 0) {
        const int end
            = std::min(std::min(timeCount, MaxListEntries - 1) + 1, indexedKeysEnd(ini, sf::Time, { timePrefix }));
        if (end > 0)
            m_settings.setLines(ctl::mTime, readIndexedLines(ini, sf::Time, timePrefix, end));
    }

    const int serverCount = ini.readInteger(sf::TimeServer, QStringLiteral("Count"), -1);
    if (serverCount >= 0) {
        const int end = std::min(std::min(serverCount, MaxListEntries - 1) + 1,
            indexedKeysEnd(ini, sf::TimeServer, { QStringLiteral("Server  "), QStringLiteral("Checked ") }));
        QVector<CheckItem> servers;
        for (int i = 0; i < end; ++i)
            servers.push_back(
                { ini.readString(sf::TimeServer, QStringLiteral("Server  ") + QString::number(i), QString()),
                    ini.readBool(sf::TimeServer, QStringLiteral("Checked ") + QString::number(i), false) });
        if (!servers.isEmpty())
            m_settings.setCheckItems(ctl::cbTimeServer, servers);
    }
}

void SettingsFile::loadDownloadGrid(const IniFile& ini)
{
    const QString grid = ctl::sgDownloadFiles;
    for (const QString& key : ini.keys(sf::Download)) {
        int column = 0;
        int row = 0;
        if (!parseGridKey(key, &column, &row))
            continue; // no defined meaning; a hand-written note, perhaps
        if (column < 0 || column >= GridColumns || row < 1 || row >= GridRows)
            continue;
        m_settings.setCell(grid, column, row, ini.readString(sf::Download, key, QString()));
    }
}

void SettingsFile::loadParameters(const IniFile& ini)
{
    EntryIo io(m_settings, m_hooks, m_screenSize);
    {
        // Cleared even when a hook throws, so the configuration editor is not left muted.
        FlagGuard loading(m_configLoading);
        step([this] { m_hooks.getConfigs(); });
        io.load(ini, entryFor(FileSection::NewParameter, ctl::ddbConfig));
        io.load(ini, entryFor(FileSection::NewParameter, ctl::ddbBodyTarget));
        io.load(ini, entryFor(FileSection::NewParameter, ctl::ddbViewBody));
        step([this] { m_hooks.ddbConfigChange(); });

        for (const SettingRow* row : settingsIn(FileSection::NewParameter)) {
            const SettingRow& e = *row;
            if (e.name == ctl::ddbConfig || e.name == ctl::ddbBodyTarget || e.name == ctl::ddbViewBody)
                continue;
            io.load(ini, e);
            if (e.name == ctl::cbOrigin) {
                // The origin list offers the bodies; the loaded text stays whatever it is.
                const QString origin = m_settings.text(e.name);
                m_settings.setLines(e.name, m_settings.lines(ctl::ddbBodyTarget));
                m_settings.setText(e.name, origin);
            }
        }
    }
}

void SettingsFile::IniSave(const QString& fileName)
{
    const QString base = baseFile();
    const QString target = fileName.isEmpty() ? base : resolve(fileName);
    const bool targetIsBase = canonical(target) == canonical(base);

    m_hooks.storeWindowState();
    IniFile current = readForSave(target);
    const IniFile before = current;
    if (targetIsBase)
        current.writeString(sf::Config, sf::ConfigFileKey, target);
    saveInto(current);
    // What the user kept as the administrator set it stays the administrator's to change.
    systemdefaults::leaveOut(current, before, systemdefaults::read(systemdefaults::files(), nullptr));
    commit(current);

    // The base file names the new file only once that file holds the settings, so a refused
    // write never leaves the next start pointing at a file without them.
    m_configFileName = target;
    showConfigFileName();
    if (!targetIsBase) {
        IniFile baseIni = readForSave(base);
        baseIni.writeString(sf::Config, sf::ConfigFileKey, target);
        commit(baseIni);
    }
}

void SettingsFile::loadProxyPassword(const IniFile& ini)
{
    m_passwordLeftInVault.clear();
    if (ini.readString(sf::Config, PasswordStoreKey, QString()) != PasswordInKeyring
        || !m_settings.text(ctl::edtProxyPasswd).isEmpty())
        return;
    if (m_vault)
        m_vault->setDeadline(QDeadlineTimer(KeyringWaitMs));
    QString password, why;
    const PasswordVault::Outcome outcome
        = m_vault ? m_vault->lookup(canonical(m_configFileName), &password, &why) : PasswordVault::Outcome::Unavailable;
    if (outcome == PasswordVault::Outcome::Done) {
        m_settings.setText(ctl::edtProxyPasswd, password);
        return;
    }
    // The next save must not forget where the password is, unless the keyring lost it.
    if (outcome != PasswordVault::Outcome::NotFound)
        m_passwordLeftInVault = m_configFileName;
    m_hooks.logLine(QStringLiteral(" - The proxy password could not be read from the keyring")
        + (why.isEmpty() ? QString() : QStringLiteral(" (") + why + QLatin1Char(')')));
}

// After the entries of "Config": the password moves to the keyring when one takes it, and the
// file says where it is. A keyring that refuses leaves it in the file, with a line in the log.
void SettingsFile::placeProxyPassword(IniFile& ini)
{
    if (m_vault)
        m_vault->setDeadline(QDeadlineTimer(KeyringWaitMs));
    const QString password = m_settings.text(ctl::edtProxyPasswd);
    const QString file = canonical(ini.path());
    QString where = PasswordInFile;
    if (password.isEmpty() && !m_passwordLeftInVault.isEmpty() && canonical(m_passwordLeftInVault) == file) {
        where = PasswordInKeyring;
    } else if (m_vault && m_vault->available()) {
        QString why;
        if (password.isEmpty()) {
            m_vault->remove(file, &why); // nothing is lost when this fails: the user emptied it
        } else if (m_vault->store(file, password, &why) == PasswordVault::Outcome::Done) {
            ini.writeBytes(sf::Config, QStringLiteral("Proxy Password"), QByteArray());
            where = PasswordInKeyring;
        } else {
            m_hooks.logLine(
                QStringLiteral(" - The keyring did not take the proxy password, it stays in the settings file")
                + (why.isEmpty() ? QString() : QStringLiteral(" (") + why + QLatin1Char(')')));
        }
    }
    ini.writeString(sf::Config, PasswordStoreKey, where);
}

void SettingsFile::saveInto(IniFile& ini)
{
    EntryIo io(m_settings, m_hooks, m_screenSize);
    for (const SettingRow* e : settingsIn(FileSection::Config))
        io.save(ini, *e);
    placeProxyPassword(ini);

    const QStringList times = m_settings.lines(ctl::mTime);
    ini.eraseSection(sf::Time);
    ini.writeInteger(sf::Time, QStringLiteral("How often"), static_cast<int>(times.size()) - 1);
    for (qsizetype i = 0; i < times.size(); ++i)
        ini.writeString(sf::Time, QStringLiteral("Time ") + QString::number(i), times[i]);

    const QVector<CheckItem> servers = m_settings.checkItems(ctl::cbTimeServer);
    ini.eraseSection(sf::TimeServer);
    ini.writeInteger(sf::TimeServer, QStringLiteral("Count"), static_cast<int>(servers.size()) - 1);
    for (qsizetype i = 0; i < servers.size(); ++i) {
        ini.writeString(sf::TimeServer, QStringLiteral("Server  ") + QString::number(i), servers[i].text);
        ini.writeBool(sf::TimeServer, QStringLiteral("Checked ") + QString::number(i), servers[i].checked);
    }

    const QString grid = ctl::sgDownloadFiles;
    ini.eraseSection(sf::Download);
    for (int row = 1; row < GridRows; ++row) {
        for (int column = 0; column < GridColumns; ++column) {
            const QString cell = m_settings.cell(grid, column, row);
            if (!cell.isEmpty())
                ini.writeString(sf::Download, QString::number(column) + QLatin1Char(',') + QString::number(row), cell);
        }
    }

    for (const SettingRow* e : settingsIn(FileSection::ParameterSelection))
        io.save(ini, *e);

    ini.eraseSection(sf::Satellites);
    const QStringList satellites = m_settings.lines(ctl::mSatfiles);
    for (qsizetype i = 0; i < satellites.size(); ++i)
        ini.writeString(sf::Satellites, QStringLiteral("Satellite ") + QString::number(i), satellites[i]);
    ini.eraseSection(sf::Markerfiles);
    const QStringList markers = m_settings.lines(ctl::mMarkerfiles);
    for (qsizetype i = 0; i < markers.size(); ++i)
        ini.writeString(sf::Markerfiles, QStringLiteral("Markerfile ") + QString::number(i), markers[i]);

    for (const SettingRow* e : settingsIn(FileSection::NewParameter))
        io.save(ini, *e);

    for (const SettingRow* e : settingsIn(FileSection::Window))
        io.save(ini, *e);
}

} // namespace gw
