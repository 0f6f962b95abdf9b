#pragma once
// The aurora forecast (an object whose "coordinates" hold [longitude 0..359, latitude,
// probability %] on a 1-degree grid) as marker lines: one small point without a label for each
// grid point at or above the threshold, coloured from green at the threshold to red at 100 %,
// so the oval reads as a band.
#include <QByteArray>

class QIODevice;

namespace gw::feeds {
struct Conversion;
}

namespace gw::aurora {

bool markers(QIODevice& in, feeds::Conversion& c);

// The colour of a probability of `percent` for a threshold of `threshold` percent, as xplanet
// reads it: "{R,G,B}".
QByteArray colorFor(double percent, int threshold);

} // namespace gw::aurora
