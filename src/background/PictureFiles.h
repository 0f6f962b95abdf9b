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
    // A name not used before, for a picture of `monitor`; the file is not created.
    QString newFile(const QString& monitor);
    // After the desktop shows `shown`: every other picture of the same monitors goes.
    void keepOnly(const QVector<Picture>& shown) const;
    // After a failed switch, or a render ended early: the new pictures go, the shown stay.
    static void discard(const QVector<Picture>& pictures);

private:
    QString m_folder;
    int m_counter = 0;
};

} // namespace gw
