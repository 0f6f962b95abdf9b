#include "desktop/ZavAduva.h"

#include "desktop/DefaultApplication.h"
#include "shared/Error.h"
#include "shared/NumberText.h"
#include "shared/Scramble.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QUrl>

namespace gw {

namespace {
    QString canonical(const QString& path)
    {
        const QString c = QFileInfo(path).canonicalFilePath();
        return c.isEmpty() ? QFileInfo(path).absoluteFilePath() : c;
    }
} // namespace

TZavAduva::TZavAduva(QObject* parent)
    : QObject(parent)
    , m_ownLauncher(std::make_unique<XdgDesktopLauncher>())
    , m_launcher(*m_ownLauncher)
{
    ReadFileInfo();
}

TZavAduva::TZavAduva(DesktopLauncher& launcher, QObject* parent)
    : QObject(parent)
    , m_launcher(launcher)
{
    ReadFileInfo();
}

TZavAduva::~TZavAduva() = default;

QString TZavAduva::versionText() const
{
    return QStringLiteral("v") + m_fileVersion + QStringLiteral(" ");
}

void TZavAduva::ReadFileInfo()
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

void TZavAduva::start(const QString& mimeType, const QString& target, const QString& failure)
{
    QStringList command = defaultCommandFor(m_launcher, mimeType, target);
    if (command.isEmpty())
        return;
    const QString program = command.takeFirst();
    if (!m_launcher.startDetached(program, command))
        throw Error(failure);
}

void TZavAduva::BrowserStart()
{
    start(QStringLiteral("text/html"), m_url, QStringLiteral("Error while launching the default browser."));
}

void TZavAduva::EMailStart()
{
    m_launcher.openUrl(QUrl(QStringLiteral("mailto:") + m_email));
}

void TZavAduva::StartFileWithExtension(const QString& path, const QString& extension)
{
    start(mimeTypeForExtension(extension), path, QStringLiteral("Error while launching the default programm."));
}

QString TZavAduva::FormatInt(qint64 number, int width, const QString& fill)
{
    return gw::FormatInt(number, width, fill);
}

QString TZavAduva::FormatFloat(int width, int decimals, const QString& fill, double value)
{
    return gw::FormatFloat(width, decimals, fill, value);
}

QByteArray TZavAduva::Crypt(const QByteArray& text)
{
    return gw::Crypt(text);
}

} // namespace gw
