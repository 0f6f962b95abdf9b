#include "renderer/MarkerSatelliteFiles.h"

#include "renderer/ConfigEditor.h"
#include "renderer/ConfigText.h"
#include "renderer/RendererLayout.h"
#include "settings/SettingNames.h"
#include "settings/SettingsAccess.h"
#include "shared/AtomicFile.h"
#include "shared/Dialogs.h"
#include "shared/Error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace gw {

namespace {

    const QString kMarkers = ctl::mMarkerfiles;
    const QString kSatellites = ctl::mSatfiles;
    // "*.*" would hide names without a dot, and satellite files ("iss") and the city markers
    // ("earth") have none.
    const QString kAllFiles = QStringLiteral("All files (*)|*");
    const QByteArray kGeneratedMark = "# This is an automatic generated Satfile from Globewall";
    const QByteArray kTrail = " trail={orbit,-10,45,1}";

    QString withoutSlash(QString folder)
    {
        if (folder.endsWith(QLatin1Char('/')))
            folder.chop(1);
        return folder;
    }

    bool isCatalogueNumber(QByteArrayView field)
    {
        if (field.isEmpty())
            return false;
        for (char c : field)
            if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z')))
                return false;
        return true;
    }

} // namespace

MarkerSatelliteFiles::MarkerSatelliteFiles(
    SettingsAccess& settings, Dialogs& dialogs, ConfigEditor& config, StartFileWithExtension startFile)
    : m_settings(settings)
    , m_dialogs(dialogs)
    , m_config(config)
    , m_startFile(std::move(startFile))
{
}

bool MarkerSatelliteFiles::liesDirectlyIn(const QString& file, const QString& folder) const
{
    const QFileInfo info(file);
    const QString chosenFolder = QDir::cleanPath(info.absolutePath());
    const QString expected = QDir::cleanPath(folder);
    if (chosenFolder.toUpper() == expected.toUpper())
        return true;
    // The same folder reached through a symbolic link (a linked home folder, say).
    const QString canonical = QFileInfo(chosenFolder).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(expected).canonicalFilePath();
}

bool MarkerSatelliteFiles::addEntry(const QString& list, const QString& key, const QString& name)
{
    QStringList entries = m_settings.lines(list);
    if (entries.contains(name))
        return false;
    entries << name;
    m_settings.setLines(list, entries);
    return m_config.changeConfigParameter(m_settings.text(ctl::ddbBodyTarget), key, entries);
}

bool MarkerSatelliteFiles::addMarkerFile(const QString& name)
{
    return addEntry(kMarkers, QStringLiteral("marker_file"), name);
}

bool MarkerSatelliteFiles::addSatelliteFile(const QString& name)
{
    return addEntry(kSatellites, QStringLiteral("satellite_file"), name);
}

QString MarkerSatelliteFiles::chooseFileIn(const QString& folder, const QString& title, const QString& kind)
{
    FileDialogRequest request;
    request.title = title;
    request.filter = kAllFiles;
    request.startFolder = folder;
    const QString chosen = m_dialogs.getOpenFile(request);
    if (chosen.isEmpty())
        return {};
    if (!liesDirectlyIn(chosen, folder)) {
        m_dialogs.message(MessageKind::Warning,
            QStringLiteral("The ") + kind + QStringLiteral(" must be in the default directory (") + folder
                + QLatin1Char(')'));
        return {};
    }
    return chosen;
}

void MarkerSatelliteFiles::btnChoosMarkerfileClick()
{
    const QString chosen = chooseFileIn(withoutSlash(m_config.layout().markersFolder()),
        QStringLiteral("select Markerfile"), QStringLiteral("Marker-File"));
    if (!chosen.isEmpty())
        addMarkerFile(QFileInfo(chosen).fileName());
}

void MarkerSatelliteFiles::btnChooseSatelliteClick()
{
    const QString chosen = chooseFileIn(withoutSlash(m_config.layout().satellitesFolder()),
        QStringLiteral("select Satfile (Filename without .tle)"), QStringLiteral("Sat-File"));
    if (chosen.isEmpty())
        return;
    if (!QFileInfo::exists(chosen + QStringLiteral(".tle"))) {
        m_dialogs.message(MessageKind::Warning, QStringLiteral("There must be also a .tle file to the Sat-File"));
        return;
    }
    addSatelliteFile(QFileInfo(chosen).fileName());
}

void MarkerSatelliteFiles::removeRows(const QString& list, const QString& key, const QList<int>& selectedRows)
{
    if (selectedRows.isEmpty())
        return;
    const QStringList entries = m_settings.lines(list);
    QStringList kept;
    for (int i = 0; i < entries.size(); ++i)
        if (!selectedRows.contains(i))
            kept << entries.at(i);
    m_settings.setLines(list, kept);
    m_config.changeConfigParameter(m_settings.text(ctl::ddbBodyTarget), key, kept);
}

void MarkerSatelliteFiles::btnRemoveMarkerfileClick(const QList<int>& selectedRows)
{
    removeRows(kMarkers, QStringLiteral("marker_file"), selectedRows);
}

void MarkerSatelliteFiles::btnRemoveSatelliteClick(const QList<int>& selectedRows)
{
    removeRows(kSatellites, QStringLiteral("satellite_file"), selectedRows);
}

MarkerSatelliteFiles::MouseDownResult MarkerSatelliteFiles::listMouseDown(bool rightButton, int rowUnderPointer)
{
    if (!rightButton)
        return {};
    return { true, rowUnderPointer < 0 ? -1 : rowUnderPointer, rowUnderPointer >= 0 };
}

void MarkerSatelliteFiles::openInEditor(
    const QString& list, const QString& folder, const QString& notOne, const QList<int>& selectedRows)
{
    const QStringList entries = m_settings.lines(list);
    if (selectedRows.size() != 1 || selectedRows.first() < 0 || selectedRows.first() >= entries.size()) {
        m_dialogs.message(MessageKind::Information, notOne);
        return;
    }
    if (m_startFile)
        m_startFile(folder + entries.at(selectedRows.first()), QStringLiteral("txt"));
}

void MarkerSatelliteFiles::Openineditor1Click(const QList<int>& selectedRows)
{
    openInEditor(
        kMarkers, m_config.layout().markersFolder(), QStringLiteral("Select one of the markerfiles"), selectedRows);
}

void MarkerSatelliteFiles::Openineditor2Click(const QList<int>& selectedRows)
{
    openInEditor(kSatellites, m_config.layout().satellitesFolder(), QStringLiteral("Select one of the satellites"),
        selectedRows);
}

QString MarkerSatelliteFiles::firstCatalogueNumber(const QByteArray& tle)
{
    QList<QByteArray> lines = tle.split('\n');
    for (QByteArray& line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    // A satellite is a line 1 ("1 NNNNN...") directly followed by its line 2 ("2 NNNNN...").
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QByteArray& one = lines.at(i);
        if (one.size() < 7 || !one.startsWith("1 ") || !lines.at(i + 1).startsWith("2 "))
            continue;
        const QByteArray number = one.mid(2, 5).trimmed();
        if (isCatalogueNumber(number))
            return QString::fromLatin1(number);
    }
    return QStringLiteral("0");
}

QByteArray MarkerSatelliteFiles::satelliteFileText(const QString& catalogueNumber, const QString& picture, bool trail)
{
    QByteArray text;
    for (const QByteArray& line : { QByteArray("#"), kGeneratedMark, QByteArray("#"),
             QByteArray("# See the xplanet readme.txt for all possible options"), QByteArray("#"), QByteArray() }) {
        text += line;
        text += "\r\n";
    }
    text += catalogueNumber.toLatin1();
    if (!picture.isEmpty())
        text += " image=" + QFile::encodeName(picture) + " transparent={0,0,0}";
    text += " color=red";
    if (trail)
        text += kTrail;
    text += "\r\n";
    text += "\r\n";
    return text;
}

namespace {

    // The satellite file beside a TLE file, or the empty text when there is none to write: without
    // an extension it would be the TLE file itself, and one that exists (even as a dangling link)
    // stays as it is.
    QString missingSatelliteFile(const QString& tleFile)
    {
        const QString name = QFileInfo(tleFile).fileName();
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        if (dot <= 0)
            return QString();
        const QString satFile = tleFile.left(tleFile.size() - (name.size() - dot));
        if (QFileInfo::exists(satFile) || QFileInfo(satFile).isSymLink())
            return QString();
        return satFile;
    }

    QByteArray readTle(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

} // namespace

QString MarkerSatelliteFiles::writeSatelliteFileFor(
    const QString& tleFile, const QStringList& pictureFolders, bool trail)
{
    const QString satFile = missingSatelliteFile(tleFile);
    if (satFile.isEmpty())
        return QString();
    // A page of errors saved under a ".tle" name holds no satellite: no file that names none.
    const QString number = firstCatalogueNumber(readTle(tleFile));
    if (number == QLatin1String("0"))
        return QString();
    const QString name = QFileInfo(satFile).fileName();
    QString picture;
    for (const QString& folder : pictureFolders) {
        if (QFileInfo(QDir(folder).filePath(name + QStringLiteral(".png"))).isFile()) {
            picture = name + QStringLiteral(".png");
            break;
        }
    }
    QString error;
    if (!writeFileAtomically(satFile, satelliteFileText(number, picture, trail), &error))
        throw Error(error);
    return name;
}

int MarkerSatelliteFiles::setTrailInGeneratedFiles(const QString& folder, bool trail)
{
    int changed = 0;
    const QDir dir(folder);
    for (const QFileInfo& info : dir.entryInfoList(QDir::Files | QDir::NoSymLinks)) {
        if (info.size() > 4096 || !info.suffix().isEmpty())
            continue; // a satellite file is named without an extension and is short
        QFile file(info.filePath());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        QList<QByteArray> lines = file.readAll().split('\n');
        file.close();
        if (lines.size() < 7 || lines.at(1).chopped(lines.at(1).endsWith('\r') ? 1 : 0) != kGeneratedMark)
            continue;
        QByteArray& satellite = lines[6];
        const bool cr = satellite.endsWith('\r');
        QByteArray line = cr ? satellite.chopped(1) : satellite;
        const bool has = line.endsWith(kTrail);
        if (has == trail)
            continue;
        line = trail ? line + kTrail : line.chopped(kTrail.size());
        satellite = cr ? line + '\r' : line;
        QString error;
        if (!writeFileAtomically(info.filePath(), lines.join('\n'), &error))
            throw Error(error);
        ++changed;
    }
    return changed;
}

bool MarkerSatelliteFiles::addNightMapWhenMissing()
{
    const QString picture = QStringLiteral("night.jpg");
    const RendererLayout layout = m_config.layout();
    if (!QFileInfo(layout.systemFolder() + QStringLiteral("images/") + picture).isFile()
        && !QFileInfo(layout.imagesFolder() + picture).isFile())
        return false;
    const QString body = QStringLiteral("earth");
    const QStringList& lines = m_config.configLines();
    const qsizetype header = findBodySection(lines, body);
    if (header < 0)
        return false;
    for (qsizetype i = header + 1; i < sectionEnd(lines, header); ++i)
        if (withoutComment(lines.at(i)).startsWith(QLatin1String("night_map")))
            return false;
    return m_config.changeConfigParameter(body, QStringLiteral("night_map"), { picture });
}

void MarkerSatelliteFiles::GenerateSatFile(const QString& tleFile)
{
    const QString satFile = missingSatelliteFile(tleFile);
    if (satFile.isEmpty())
        return;

    const QString pictureFolder = withoutSlash(m_config.layout().satelliteImagesFolder());
    QString picture;
    do {
        FileDialogRequest request;
        request.title = QStringLiteral("Please choose a Sat picture...");
        request.proposedFile = QStringLiteral("sat.png");
        request.filter = QStringLiteral("PNG Files (*.png)|*.png");
        request.startFolder = pictureFolder;
        picture = m_dialogs.getOpenFile(request);
        if (picture.isEmpty())
            return; // the user gave up: no satellite file
    } while (!liesDirectlyIn(picture, pictureFolder));

    const QByteArray elements = readTle(tleFile);
    QString error;
    if (!writeFileAtomically(satFile,
            satelliteFileText(
                firstCatalogueNumber(elements), QFileInfo(picture).fileName(), m_settings.checked(ctl::cbIssTrail)),
            &error))
        throw Error(error);
    m_settings.setLines(kSatellites, m_settings.lines(kSatellites) << QFileInfo(satFile).fileName());
}

} // namespace gw
