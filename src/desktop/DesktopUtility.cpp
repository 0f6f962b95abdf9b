#include "desktop/DesktopUtility.h"

#include "desktop/DefaultApplication.h"
#include "shared/Error.h"
#include "shared/NumberText.h"
#include "shared/Scramble.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QUrl>

namespace gw {

namespace {
    QString canonical(const QString& path)
    {
        const QString c = QFileInfo(path).canonicalFilePath();
        return c.isEmpty() ? QFileInfo(path).absoluteFilePath() : c;
    }
} // namespace

DesktopUtility::DesktopUtility(QObject* parent)
    : QObject(parent)
    , m_ownLauncher(std::make_unique<XdgDesktopLauncher>())
    , m_launcher(*m_ownLauncher)
{
    ReadFileInfo();
}

DesktopUtility::DesktopUtility(DesktopLauncher& launcher, QObject* parent)
    : QObject(parent)
    , m_launcher(launcher)
{
    ReadFileInfo();
}

DesktopUtility::~DesktopUtility() = default;

QString DesktopUtility::versionText() const
{
    return QStringLiteral("v") + m_fileVersion + QStringLiteral(" ");
}

void DesktopUtility::ReadFileInfo()
{
    const QString self = QCoreApplication::applicationFilePath();
    if (m_infoFileName.isEmpty())
        m_infoFileName = self;
    m_companyName.clear();
    m_fileDescription.clear();
    m_fileVersion.clear();
    m_internalName.clear();
    m_legalCopyright.clear();
    m_originalFilename.clear();
    m_productName.clear();
    m_productVersion.clear();
    if (self.isEmpty() || canonical(m_infoFileName) != canonical(self))
        return;
    m_companyName = QStringLiteral("Quillmoor");
    m_fileDescription = QStringLiteral("Globewall, a desktop companion for xplanet");
    m_fileVersion = QStringLiteral(GLOBEWALL_VERSION);
    m_internalName = QStringLiteral("Globewall");
    m_legalCopyright = QStringLiteral("Copyright (C) Quillmoor");
    m_originalFilename = QStringLiteral("Globewall");
    m_productName = QStringLiteral("Globewall");
    m_productVersion = QStringLiteral(GLOBEWALL_VERSION);
}

void DesktopUtility::start(const QString& mimeType, const QString& target, const QString& failure)
{
    QStringList command = defaultCommandFor(m_launcher, mimeType, target);
    if (command.isEmpty())
        return;
    const QString program = command.takeFirst();
    if (!m_launcher.startDetached(program, command))
        throw Error(failure);
}

void DesktopUtility::openUrl(const QString& url)
{
    start(QStringLiteral("text/html"), url, QStringLiteral("Error while launching the default browser."));
}

void DesktopUtility::openMail(const QString& address)
{
    m_launcher.openUrl(QUrl(QStringLiteral("mailto:") + address));
}

void DesktopUtility::StartFileWithExtension(const QString& path, const QString& extension)
{
    start(mimeTypeForExtension(extension), path, QStringLiteral("Error while launching the default programm."));
}

void DesktopUtility::openWithDefault(const QString& path)
{
    const QFileInfo info(path);
    const QString type
        = info.isDir() ? QStringLiteral("inode/directory") : QMimeDatabase().mimeTypeForFile(info).name();
    QStringList command = defaultCommandFor(m_launcher, type, path);
    if (command.isEmpty()) {
        m_launcher.openUrl(QUrl::fromLocalFile(path));
        return;
    }
    const QString program = command.takeFirst();
    if (!m_launcher.startDetached(program, command))
        throw Error(QStringLiteral("Error while launching the default programm."));
}

QString DesktopUtility::FormatInt(qint64 number, int width, const QString& fill)
{
    return gw::FormatInt(number, width, fill);
}

QString DesktopUtility::FormatFloat(int width, int decimals, const QString& fill, double value)
{
    return gw::FormatFloat(width, decimals, fill, value);
}

QByteArray DesktopUtility::Crypt(const QByteArray& text)
{
    return gw::Crypt(text);
}

} // namespace gw
