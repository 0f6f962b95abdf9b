#pragma once
// The desktop's default applications: which program opens a MIME type, and starting it.
#include <QString>
#include <QStringList>

class QUrl;

namespace gw {

// What the desktop offers for opening things; tests replace it to see what would start.
class DesktopLauncher
{
public:
    virtual ~DesktopLauncher() = default;
    // The desktop file ID ("org.gnome.gedit.desktop") of the default application for a
    // MIME type; empty when there is none.
    virtual QString defaultApplication(const QString& mimeType) = 0;
    // Starts a program detached, never through a shell; false when it could not be started.
    virtual bool startDetached(const QString& program, const QStringList& arguments) = 0;
    // Hands an address to the desktop (mailto: and the like); the outcome is not reported.
    virtual void openUrl(const QUrl& url) = 0;
};

// The freedesktop.org way: `xdg-mime query default`, QProcess, QDesktopServices.
class XdgDesktopLauncher : public DesktopLauncher
{
public:
    QString defaultApplication(const QString& mimeType) override;
    bool startDetached(const QString& program, const QStringList& arguments) override;
    void openUrl(const QUrl& url) override;
};

// Folders of application entries, in search order: $XDG_DATA_HOME/applications (default
// ~/.local/share/applications), then each of $XDG_DATA_DIRS (default /usr/local/share:/usr/share).
QStringList applicationFolders();

// The .desktop file of a desktop file ID: "<folder>/<id>", or with leading "-" parts read as
// subfolders ("kde4-kate.desktop" as "kde4/kate.desktop"). Empty when none is found.
QString findDesktopFile(const QString& desktopId, const QStringList& folders);

// The MIME type for a file extension: only its first three characters count, in lower case
// ("TXT" and "txt" give text/plain; "text" is taken as "tex").
QString mimeTypeForExtension(const QString& extension);

// The argument list (program first) that opens `target` with the default application for
// `mimeType`; empty when the desktop has none or its entry has no command. A program that
// needs a terminal is run inside x-terminal-emulator.
QStringList defaultCommandFor(DesktopLauncher& launcher, const QString& mimeType, const QString& target);

} // namespace gw
