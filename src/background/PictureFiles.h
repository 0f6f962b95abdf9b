#pragma once
// The rendered pictures in the cache folder. Every render gets a new name, because desktops
// cache a picture by its name and would not load the same name again; the pictures shown
// before are deleted only after the desktop shows the new ones (a desktop whose shown file
// disappears goes blank), so a monitor never has more than two.
#include "background/DesktopBackend.h"

#include <QString>

namespace gw {

class PictureFiles
{
public:
    explicit PictureFiles(QString folder = defaultFolder());

    // $XDG_CACHE_HOME/Globewall/, by default ~/.cache/Globewall/.
    static QString defaultFolder();
    const QString& folder() const { return m_folder; }

    // Creates the folder; false with the reason when it cannot be written.
    bool prepare(QString* error) const;
    // A name not used before, for a picture of `picture`'s monitor; the file is not created.
    // Each monitor has names of its own: "DP 1" and "DP-1" differ, and a monitor without a
    // name is told by its place.
    QString newFile(const Picture& picture);
    // After the desktop shows `shown`: the older pictures of the same monitors go; pictures
    // of other monitors and files not named by this class stay.
    void keepOnly(const QVector<Picture>& shown) const;
    // After a failed switch, or a render ended early: the new pictures go, the shown stay.
    static void discard(const QVector<Picture>& pictures);

private:
    QString m_folder;
    int m_counter = 0;
};

} // namespace gw
