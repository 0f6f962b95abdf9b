#include "renderer/ConfigEditor.h"

#include "renderer/ColorText.h"
#include "settings/SettingNames.h"
#include "settings/SettingsAccess.h"
#include "shared/Dialogs.h"
#include "shared/Error.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>

namespace gw {

namespace {

    const QString kDdbConfig = ctl::ddbConfig;
    const QString kBody = ctl::ddbBodyTarget;

    // Sets a flag for the lifetime of the scope, also when the scope is left by an error, so
    // that edits after a failed reading are written again.
    class FlagScope
    {
    public:
        explicit FlagScope(bool& flag)
            : m_flag(flag)
        {
            m_flag = true;
        }
        ~FlagScope() { m_flag = false; }
        FlagScope(const FlagScope&) = delete;
        FlagScope& operator=(const FlagScope&) = delete;

    private:
        bool& m_flag;
    };

    QString withoutSlash(QString folder)
    {
        if (folder.endsWith(QLatin1Char('/')))
            folder.chop(1);
        return folder;
    }

    QStringList configNamesIn(const QString& folder)
    {
        QStringList names;
        const QDir dir(folder);
        for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted))
            if (name != QLatin1String("readme.txt"))
                names << name;
        return names;
    }

} // namespace

ConfigEditor::ConfigEditor(SettingsAccess& settings, Dialogs& dialogs, const QString& home)
    : m_settings(settings)
    , m_dialogs(dialogs)
    , m_home(home)
{
}

bool ConfigEditor::ConfigLoading() const
{
    return m_loading || (m_settingsLoading && m_settingsLoading());
}

RendererLayout ConfigEditor::layout() const
{
    return RendererLayout(m_settings.text(ctl::edtAppFile), m_home);
}

QString ConfigEditor::workingFile() const
{
    return layout().configFolder() + QStringLiteral("tarn");
}

QString ConfigEditor::configTarget(const QString& name) const
{
    return layout().configFolder() + name;
}

QString ConfigEditor::configSource(const QString& name) const
{
    const QString own = configTarget(name);
    if (name.isEmpty() || QFileInfo(own).isFile())
        return own;
    const QString system = layout().systemConfigFolder() + name;
    return QFileInfo(system).isFile() ? system : own;
}

void ConfigEditor::getConfigs()
{
    const RendererLayout l = layout();
    QStringList names = configNamesIn(l.configFolder());
    for (const QString& name : configNamesIn(l.systemConfigFolder()))
        if (!names.contains(name))
            names << name;
    // The directory order means nothing on Linux; sort as a file manager would.
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int c = QString::compare(a, b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    m_settings.setLines(kDdbConfig, names);
}

void ConfigEditor::ddbConfigChange()
{
    FlagScope loading(m_loading);
    const QString source = configSource(m_settings.text(kDdbConfig));
    m_config = getConfig(source);
    getParameterFromConfig(m_config.lines, m_settings.text(kBody));
    showBodyText(source);
}

void ConfigEditor::ddbBodyTargetChange()
{
    FlagScope loading(m_loading);
    getParameterFromConfig(m_config.lines, m_settings.text(kBody));
    showBodyText(configSource(m_settings.text(kDdbConfig)));
}

ConfigLines ConfigEditor::getConfig(const QString& path)
{
    // An empty configuration name points at the folder itself: nothing to read.
    if (QFileInfo(path).isDir())
        return {};
    return readConfigFile(path);
}

QStringList ConfigEditor::getConfigTextOfBody(const QString& path, const QString& body)
{
    return bodySectionText(getConfig(path).lines, body);
}

void ConfigEditor::getParameterFromConfig(const QStringList& lines, const QString& body)
{
    const QString markers = ctl::mMarkerfiles;
    const QString satellites = ctl::mSatfiles;
    m_settings.setLines(markers, {});
    m_settings.setLines(satellites, {});
    for (const QString& field : { ctl::map, ctl::night_map, ctl::cloud_map })
        m_settings.setText(field, QString());
    m_settings.setChecked(ctl::cbDrawOrbit, false);

    const qsizetype header = findBodySection(lines, body);
    if (header < 0)
        return;
    const qsizetype end = sectionEnd(lines, header);
    for (qsizetype i = header + 1; i < end; ++i) {
        const QString line = withoutComment(lines.at(i));
        if (line.isEmpty())
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        const QStringView key = QStringView(line).left(eq);
        const QString value = line.mid(eq + 1);
        if (key == QLatin1String("satellite_file"))
            m_settings.setLines(satellites, m_settings.lines(satellites) << value);
        else if (key == QLatin1String("marker_file"))
            m_settings.setLines(markers, m_settings.lines(markers) << value);
        else if (key == QLatin1String("map") || key == QLatin1String("night_map") || key == QLatin1String("cloud_map"))
            m_settings.setText(key.toString(), value);
        else if (key == QLatin1String("draw_orbit"))
            m_settings.setChecked(ctl::cbDrawOrbit, value == QLatin1String("true"));
        else if (key == QLatin1String("magnify"))
            showValue(ctl::seMagnify, configNumber(value));
        else if (key == QLatin1String("color"))
            showValue(ctl::BodyColor, configColor(value, colorNameFiles()));
        else if (key == QLatin1String("orbit_color"))
            showValue(ctl::OrbitColor, configColor(value, colorNameFiles()));
    }
}

// A value xplanet accepts but the tab cannot show leaves the control as it is; the line itself
// stays in the file unchanged, as nothing writes it unless the user edits that control.
void ConfigEditor::showValue(const QString& control, std::optional<int> value)
{
    if (value)
        m_settings.setInteger(control, *value);
}

// Where xplanet looks up colour names: its per-user folder first, then its system folder.
QStringList ConfigEditor::colorNameFiles() const
{
    const RendererLayout l = layout();
    return { l.rendererFolder() + QStringLiteral("rgb.txt"), l.systemFolder() + QStringLiteral("rgb.txt") };
}

bool ConfigEditor::changeConfigParameter(const QString& body, const QString& key, const QStringList& values)
{
    // A body without a section changes nothing; the working file is written all the same.
    const bool changed = replaceKeyInSection(m_config.lines, body, key, values);
    // The working file is a scratch copy that nothing reads back: no wait for the disk.
    writeConfigFile(workingFile(), m_config, Flush::Skip);
    return changed;
}

void ConfigEditor::btnApplyChangesClick()
{
    const QString name = m_settings.text(kDdbConfig);
    const QString target = configTarget(name);
    if (name.isEmpty())
        throw Error(QStringLiteral("Cannot write file \"%1\": no configuration file is selected").arg(target));
    writeConfigFile(target, m_config);
    showBodyText(target);
}

bool ConfigEditor::nameCloudMapIfNone(const QString& body, const QString& file)
{
    // The section the edits go to: the first one of the body.
    const qsizetype header = findBodySection(m_config.lines, body);
    if (header < 0)
        return false;
    const qsizetype end = sectionEnd(m_config.lines, header);
    for (qsizetype i = header + 1; i < end; ++i) {
        const QString line = withoutComment(m_config.lines.at(i));
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0 && trimBlanks(line.left(eq)) == QLatin1String("cloud_map")
            && !trimBlanks(line.mid(eq + 1)).isEmpty())
            return false;
    }
    changeConfigParameter(body, QStringLiteral("cloud_map"), { file });
    if (m_settings.text(kBody) == body) {
        // Shown, not edited a second time by the field's change handler.
        const bool wasLoading = m_loading;
        m_loading = true;
        auto restore = qScopeGuard([this, wasLoading] { m_loading = wasLoading; });
        m_settings.setText(ctl::cloud_map, file);
    }
    btnApplyChangesClick();
    return true;
}

void ConfigEditor::showBodyText(const QString& path)
{
    m_settings.setLines(ctl::mBodyText, getConfigTextOfBody(path, m_settings.text(kBody)));
}

void ConfigEditor::editOne(const QString& key, const QString& value)
{
    if (ConfigLoading())
        return;
    changeConfigParameter(m_settings.text(kBody), key, { value });
}

void ConfigEditor::mapChange()
{
    editOne(QStringLiteral("map"), m_settings.text(ctl::map).trimmed());
}

void ConfigEditor::night_mapChange()
{
    editOne(QStringLiteral("night_map"), m_settings.text(ctl::night_map).trimmed());
}

void ConfigEditor::cloud_mapChange()
{
    editOne(QStringLiteral("cloud_map"), m_settings.text(ctl::cloud_map).trimmed());
}

void ConfigEditor::cbDrawOrbitClick()
{
    const bool ticked = m_settings.checked(ctl::cbDrawOrbit);
    editOne(QStringLiteral("draw_orbit"), ticked ? QStringLiteral("true") : QStringLiteral("false"));
}

void ConfigEditor::seMagnifyChange()
{
    editOne(QStringLiteral("magnify"), QString::number(m_settings.integer(ctl::seMagnify)));
}

void ConfigEditor::btnColorClick()
{
    chooseColor(ctl::BodyColor, QStringLiteral("color"));
}

void ConfigEditor::btnOrbitColorClick()
{
    chooseColor(ctl::OrbitColor, QStringLiteral("orbit_color"));
}

void ConfigEditor::chooseColor(const QString& control, const QString& key)
{
    if (ConfigLoading())
        return;
    const int before = m_settings.integer(control);
    const std::optional<QColor> chosen = m_dialogs.chooseColor(colorToQColor(before));
    if (!chosen)
        return;
    const int color = qColorToColor(*chosen);
    if (color == before)
        return;
    m_settings.setInteger(control, color);
    changeConfigParameter(m_settings.text(kBody), key, { ColorToStr(color) });
}

void ConfigEditor::btnDayImageClick()
{
    chooseImage(QStringLiteral("select day image"), ctl::map);
}

void ConfigEditor::btnNightImageClick()
{
    chooseImage(QStringLiteral("select night image"), ctl::night_map);
}

void ConfigEditor::btnCloudImageClick()
{
    chooseImage(QStringLiteral("select cloud image"), ctl::cloud_map);
}

void ConfigEditor::btnBackImageClick()
{
    chooseImage(QStringLiteral("select background image"), ctl::edtBackImage);
}

void ConfigEditor::chooseImage(const QString& title, const QString& field)
{
    FileDialogRequest request;
    request.title = title;
    request.proposedFile = m_settings.text(field);
    request.filter = QStringLiteral("All files (*)|*"); // "*.*" would hide names without a dot
    request.startFolder = withoutSlash(layout().imagesFolder());
    const QString chosen = m_dialogs.getOpenFile(request);
    if (chosen.isEmpty())
        return;
    m_settings.setText(field, QFileInfo(chosen).fileName());
}

} // namespace gw
