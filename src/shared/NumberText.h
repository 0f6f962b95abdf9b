#pragma once
#include <QString>

namespace gw {

// Left-padded fixed-width number text: the last `width` characters of fill x width + number.
QString FormatInt(qint64 number, int width, const QString& fill);
// As FormatInt, with `decimals` digits after the separator; keeps width + decimals + 1 characters.
QString FormatFloat(int width, int decimals, const QString& fill, double value);

} // namespace gw
