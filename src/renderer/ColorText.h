#pragma once
// Colour text of the renderer's configuration files: "{red,green,blue}". A colour value holds
// red in the lowest byte, then green, then blue.
#include "shared/ColorValue.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace gw {

// "{r,g,b}" from a colour value; bytes above blue are ignored.
QString ColorToStr(int color);

// The colour value of a colour text. Throws gw::Error with the conversion error message when a
// component is not a whole number (blanks in front are allowed, behind not, as xplanet reads
// it: "{28 ,82,110}" is refused) or lies outside 0..255.
int StrToColor(const QString& text);

// A whole number as the configuration keys hold it: blanks in front and a sign allowed, nothing
// behind. Throws gw::Error "'text' is not a valid integer value" otherwise.
int parseWholeNumber(const QString& text);

// A colour value of the configuration as xplanet accepts it: colour text, "0x" and up to six
// hex digits (red, green, blue from the highest byte down), or a colour name, looked up
// without regard to case in `nameFiles` (lines "red green blue name", as rgb.txt) and then
// among the basic colour names. Empty when it is none of these.
std::optional<int> configColor(const QString& value, const QStringList& nameFiles);

// A number of the configuration, which xplanet reads as a decimal ("1.5"): the nearest whole
// number. Empty when it is no number.
std::optional<int> configNumber(const QString& value);

} // namespace gw
