#include "renderer/RendererLayout.h"

#include <QDir>
#include <QFileInfo>

namespace gw {

RendererLayout::RendererLayout(const QString& appFile, const QString& home)
    : m_appFile(appFile)
    , m_home(home.isEmpty() ? QDir::homePath() : home)
{
    if (!m_home.endsWith(QLatin1Char('/')))
        m_home += QLatin1Char('/');
}

QString RendererLayout::rendererFolder() const
{
    return m_home + QStringLiteral(".xplanet/");
}
QString RendererLayout::configFolder() const
{
    return rendererFolder() + QStringLiteral("config/");
}
QString RendererLayout::imagesFolder() const
{
    return rendererFolder() + QStringLiteral("images/");
}
QString RendererLayout::markersFolder() const
{
    return rendererFolder() + QStringLiteral("markers/");
}
QString RendererLayout::arcsFolder() const
{
    return rendererFolder() + QStringLiteral("arcs/");
}
QString RendererLayout::satellitesFolder() const
{
    return rendererFolder() + QStringLiteral("satellites/");
}
QString RendererLayout::satelliteImagesFolder() const
{
    return imagesFolder();
}
QString RendererLayout::systemFolder() const
{
    return QStringLiteral("/usr/share/xplanet/");
}
QString RendererLayout::systemConfigFolder() const
{
    return systemFolder() + QStringLiteral("config/");
}
QString RendererLayout::systemReadme() const
{
    return QStringLiteral("/usr/share/doc/xplanet/README.gz");
}

QString RendererLayout::readmeFile() const
{
    const QString own = rendererFolder() + QStringLiteral("readme.txt");
    return QFileInfo::exists(own) ? own : systemReadme();
}

QString RendererLayout::defaultCloudDestination() const
{
    return imagesFolder() + QStringLiteral("clouds_2048.jpg");
}

bool RendererLayout::ensureFolders(QString* error) const
{
    for (const QString& dir : { configFolder(), imagesFolder(), markersFolder(), satellitesFolder() }) {
        if (!QDir().mkpath(dir)) {
            if (error)
                *error = QStringLiteral("Error creating directory: ") + dir;
            return false;
        }
    }
    return true;
}

} // namespace gw
