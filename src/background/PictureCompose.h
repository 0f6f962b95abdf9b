#pragma once
// One picture made of several: desktops that take a single picture for all monitors get one
// globe per monitor, each at its monitor's place, instead of one globe across the seam.
#include "background/DesktopBackend.h"
#include "background/PngRead.h"

namespace gw {

// Writes `picture` as an 8-bit RGB PNG; false with the reason (a full disk among them).
bool writePng(const QString& file, const RgbPicture& picture, QString* error);

// Composes the pictures of `parts`, each at its geometry, into one PNG `file` covering the
// rectangle that holds them all, black where no monitor lies; false with the reason.
bool composePictures(const QVector<Picture>& parts, const QString& file, QString* error);

} // namespace gw
