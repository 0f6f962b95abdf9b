#pragma once
// One picture made of several: desktops that take a single picture for all monitors get one
// globe per monitor, each at its monitor's place, instead of one globe across the seam.
#include "background/DesktopBackend.h"

namespace gw {

// Composes the pictures of `parts`, each at its geometry, into one PNG `file` covering the
// rectangle that holds them all, black where no monitor lies; false with the reason (a full
// disk among them), and then no file.
bool composePictures(const QVector<Picture>& parts, const QString& file, QString* error);

} // namespace gw
