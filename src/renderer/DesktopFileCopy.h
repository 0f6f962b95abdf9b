#pragma once
// "Save the output image file": xplanet keeps its desktop picture itself only where it sets the
// desktop itself (Windows, macOS). Here Globewall hands its pictures to the desktop, so it keeps
// the copy, under the name and in the folder xplanet would have used.
#include "background/DesktopBackend.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace gw {

// The folder of xplanet's intermediate picture: the -tmpdir of the user's own parameters, else
// the renderer folder, which is both xplanet's working folder and the -tmpdir of "put the
// intermediate image in xplanet folder".
QString desktopFileFolder(const QStringList& userArguments, const QString& rendererFolder);

// "xplanet.png" for one picture; with one per monitor, "xplanet-<monitor>.png" each.
QString desktopFileName(const Picture& picture, qsizetype pictureCount);

// Copies each picture into `folder`, each replaced whole; the copies' paths in `kept`. Empty, or
// the reason the first copy that failed could not be made.
QString keepDesktopFiles(const QVector<Picture>& pictures, const QString& folder, QStringList* kept);

} // namespace gw
