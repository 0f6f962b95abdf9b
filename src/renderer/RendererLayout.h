#pragma once
// Where the renderer keeps its files. On Linux xplanet searches its per-user folder
// ~/.xplanet/ by itself, so that is the renderer folder whatever executable is chosen.
// Every path of a renderer folder is formed here and nowhere else.
#include <QString>

namespace gw {

class RendererLayout
{
public:
    // `appFile` is the renderer executable (edtAppFile); `home` the user's home folder.
    explicit RendererLayout(const QString& appFile, const QString& home = QString());

    QString rendererFolder() const; // ~/.xplanet/
    QString configFolder() const; // ~/.xplanet/config/
    QString imagesFolder() const; // ~/.xplanet/images/
    QString markersFolder() const; // ~/.xplanet/markers/
    QString arcsFolder() const; // ~/.xplanet/arcs/ (made by who writes an arc file)
    QString satellitesFolder() const; // ~/.xplanet/satellites/
    QString satelliteImagesFolder() const; // ~/.xplanet/images/
    QString systemConfigFolder() const; // /usr/share/xplanet/config/ (read-only fallback)
    QString systemFolder() const; // /usr/share/xplanet/
    // The renderer's readme: readme.txt in the renderer folder, else the system documentation.
    QString readmeFile() const;
    QString systemReadme() const; // /usr/share/doc/xplanet/README.gz

    // The default cloud destination: images folder + "clouds_2048.jpg".
    QString defaultCloudDestination() const;

    // Creates the renderer folder and its four subfolders when missing.
    bool ensureFolders(QString* error = nullptr) const;

    const QString& appFile() const { return m_appFile; }

private:
    QString m_appFile;
    QString m_home;
};

} // namespace gw
