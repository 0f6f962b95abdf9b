#pragma once
// One picture made of several: desktops that take a single picture for all monitors get one
// globe per monitor, each at its monitor's place, instead of one globe across the seam.
#include "background/DesktopBackend.h"

#include <atomic>

namespace gw {

// Composes the pictures of `parts`, each at its geometry, into one PNG `file` covering the
// rectangle that holds them all, black where no monitor lies; false with the reason (a full
// disk among them), and then no file. Once `stop` is set the work ends within a few
// milliseconds, false.
bool composePictures(
    const QVector<Picture>& parts, const QString& file, QString* error, const std::atomic<bool>* stop = nullptr);

// The same on a thread of its own while this thread's events are handled, so the window
// answers and the program can end meanwhile: when the event loop is left (the program
// ends) `stop` is set and the work is waited for, a few milliseconds.
bool composePicturesWhileProcessingEvents(
    const QVector<Picture>& parts, const QString& file, QString* error, std::atomic<bool>& stop);

} // namespace gw
