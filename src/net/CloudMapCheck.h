#pragma once
// Whether a downloaded file is a cloud map: a whole JPEG or PNG picture twice as wide as high,
// no side longer than xplanet reads (65500 pixels) and at most 2^28 pixels in all.
// Only the header and the end of the file are read, so an 8192x4096 map is checked without
// decoding it: the size comes from the JPEG frame header or the PNG IHDR chunk, and a picture
// cut short misses its end marker (JPEG EOI, PNG IEND).
#include <QString>

namespace gw::cloudmap {

struct Picture
{
    QString kind; // "JPEG", "PNG", or empty when neither
    int width = 0;
    int height = 0;
    bool complete = false; // the end marker is where it belongs
};

Picture readPicture(const QString& file);

// Empty for a cloud map; otherwise what the file was, for the log line
// (" - Error: not a cloud map (<what>)").
QString problem(const QString& file);

} // namespace gw::cloudmap
