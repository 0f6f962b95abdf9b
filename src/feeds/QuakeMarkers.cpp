#include "feeds/QuakeMarkers.h"

#include "feeds/FeedConversion.h"
#include "feeds/QuakeFeeds.h"
#include "feeds/RecordBlocks.h"

#include "shared/Error.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QIODevice>

#include <cstring>

namespace gw {

namespace {

    constexpr QByteArrayView kHeader("yy/mm/dd hh:mm:ss");

    // Columns of a record, counted from 0 (the list counts from 1).
    constexpr qsizetype kLatitude = 17, kLatitudeWidth = 7;
    constexpr qsizetype kNorthSouth = 24;
    constexpr qsizetype kLongitude = 25, kLongitudeWidth = 7;
    constexpr qsizetype kEastWest = 32;
    constexpr qsizetype kMagnitude = 40, kMagnitudeWidth = 3;
    constexpr qsizetype kRegion = 49;

    // The columns [from, from + width) of a line, blanks and control characters cut at both ends;
    // positions past the end of the line are empty.
    QByteArrayView field(QByteArrayView line, qsizetype from, qsizetype width)
    {
        if (from >= line.size())
            return {};
        const char* begin = line.data() + from;
        const char* end = line.data() + std::min(line.size(), from + width);
        while (begin < end && static_cast<unsigned char>(*begin) <= ' ')
            ++begin;
        while (end > begin && static_cast<unsigned char>(end[-1]) <= ' ')
            --end;
        return QByteArrayView(begin, end - begin);
    }

    // Latitude and longitude are unsigned decimal numbers; the hemisphere letters carry the sign.
    bool isDegrees(QByteArrayView text)
    {
        bool digit = false;
        for (char c : text) {
            if (c >= '0' && c <= '9')
                digit = true;
            else if (c != '.')
                return false;
        }
        return digit;
    }

    char at(QByteArrayView line, qsizetype column)
    {
        return column < line.size() ? line[column] : '\0';
    }

    void appendMarker(feeds::Conversion& c, QByteArrayView line)
    {
        const QByteArrayView latitude = field(line, kLatitude, kLatitudeWidth);
        const QByteArrayView longitude = field(line, kLongitude, kLongitudeWidth);
        // A line without a position (a blank line, a note under the list) is no earthquake: as a
        // marker it would sit at 0°N 0°E, or make xplanet read words as degrees.
        if (!isDegrees(latitude) || !isDegrees(longitude))
            return;
        ++c.positions;
        QByteArray& out = c.out.line();
        if (at(line, kNorthSouth) == 'S')
            out += '-';
        out += latitude;
        out += ' ';
        if (at(line, kEastWest) == 'W')
            out += '-';
        out += longitude;
        out += " \"";
        if (kRegion < line.size()) {
            QByteArrayView region = line.sliced(kRegion);
            if (region.endsWith('\r'))
                region.chop(1); // the line break of a list with CR LF line ends
            feeds::appendLabelText(out, region);
        }
        out += " (";
        feeds::appendLabelText(out, field(line, kMagnitude, kMagnitudeWidth));
        out += ")\" color=green\r\n";
        c.out.lineDone();
    }

} // namespace

bool quake::fixedColumnMarkers(QIODevice& in, feeds::Conversion& c)
{
    bool headerSeen = false;
    const bool read = feeds::readRecordBlocks(in, false, c, [&](QByteArrayView block) {
        const char* p = block.data();
        const char* const end = p + block.size();
        while (p < end) {
            const char* nl = static_cast<const char*>(std::memchr(p, '\n', end - p));
            const char* lineEnd = nl ? nl : end;
            const QByteArrayView line(p, lineEnd - p);
            if (headerSeen) {
                if (!c.countRecord())
                    return false;
                appendMarker(c, line);
            } else {
                headerSeen = line.contains(kHeader);
            }
            p = nl ? nl + 1 : end;
        }
        return true;
    });
    // Lines under the header that are no earthquakes (blank lines, notes) give no marker, and
    // the list may hold none: only the other formats must have positions.
    c.records = c.positions;
    return read;
}

QByteArray quakeMarkerText(const QByteArray& ascText)
{
    return feeds::convertText(feeds::Kind::QuakeList, ascText);
}

void ConvertAscQuakeToMarker(const QString& ascFile, const QString& markerFile)
{
    const feeds::Outcome outcome = feeds::convertFile(feeds::Kind::QuakeList, ascFile, markerFile);
    if (outcome.status == feeds::Outcome::Failed)
        throw Error(ascFile + QStringLiteral(": ") + outcome.error);
}

} // namespace gw
