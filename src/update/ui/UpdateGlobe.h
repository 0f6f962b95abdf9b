#pragma once
// The turning globe of the update dialog: frames drawn by code, one full turn over the frames.
#include <QPixmap>
#include <QVector>

namespace gw {

// `count` square frames of `size` pixels; frame i shows the globe turned by i/count of a turn.
QVector<QPixmap> drawUpdateGlobeFrames(int count, int size);

} // namespace gw
