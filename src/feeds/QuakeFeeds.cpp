#include "feeds/QuakeFeeds.h"

#include "feeds/FeedConversion.h"
#include "feeds/JsonStream.h"
#include "feeds/RecordBlocks.h"

#include <QIODevice>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace gw::quake {

namespace {

    QByteArrayView trimmed(QByteArrayView text)
    {
        while (!text.isEmpty() && static_cast<unsigned char>(text.front()) <= ' ')
            text = text.sliced(1);
        while (!text.isEmpty() && static_cast<unsigned char>(text.back()) <= ' ')
            text.chop(1);
        return text;
    }

    bool toNumber(QByteArrayView text, double* value)
    {
        text = trimmed(text);
        if (text.isEmpty())
            return false;
        const char* end = text.data() + text.size();
        const auto [ptr, ec] = std::from_chars(text.data(), end, *value);
        return ec == std::errc() && ptr == end && std::isfinite(*value);
    }

    // One CSV field: the text between its quotes (still with doubled quotes) or as it stands.
    struct Field
    {
        QByteArrayView raw;
        bool quoted = false;
    };

    // Reads one record from `p` (fields separated by ',', the record by a line feed outside quotes)
    // and returns the position after it. Fields past the first `wanted` are not kept.
    const char* readRecord(const char* p, const char* end, std::vector<Field>& fields,
        qsizetype wanted = std::numeric_limits<qsizetype>::max())
    {
        fields.clear();
        for (;;) {
            if (qsizetype(fields.size()) >= wanted) {
                // The rest of the line at once, unless a quote in it may hide a line break.
                const char* nl = static_cast<const char*>(std::memchr(p, '\n', end - p));
                const char* stop = nl ? nl : end;
                if (!std::memchr(p, '"', stop - p))
                    return nl ? nl + 1 : end;
            }
            Field field;
            if (p < end && *p == '"') {
                const char* begin = ++p;
                for (;;) {
                    const char* quote = static_cast<const char*>(std::memchr(p, '"', end - p));
                    if (!quote) {
                        p = end;
                        break;
                    }
                    if (quote + 1 < end && quote[1] == '"') {
                        p = quote + 2;
                        continue;
                    }
                    p = quote;
                    break;
                }
                field = { QByteArrayView(begin, p - begin), true };
                if (p < end)
                    ++p; // the closing quote
                while (p < end && *p != ',' && *p != '\n')
                    ++p; // text after the closing quote is no part of the field
            } else {
                const char* begin = p;
                while (p < end && *p != ',' && *p != '\n')
                    ++p;
                QByteArrayView raw(begin, p - begin);
                if (raw.endsWith('\r'))
                    raw.chop(1);
                field = { raw, false };
            }
            fields.push_back(field);
            if (p >= end)
                return end;
            if (*p++ == '\n')
                return p;
        }
    }

    // The text of a field, its doubled quotes made single.
    QByteArrayView fieldText(const Field& field, QByteArray& scratch)
    {
        if (!field.quoted || !field.raw.contains('"'))
            return field.raw;
        scratch = field.raw.toByteArray().replace("\"\"", "\"");
        return scratch;
    }

} // namespace

Format formatOf(QByteArrayView text)
{
    if (text.startsWith("\xEF\xBB\xBF"))
        text = text.sliced(3);
    const QByteArrayView start = trimmed(text.first(std::min<qsizetype>(text.size(), 4096)));
    if (start.startsWith('{'))
        return Format::GeoJson;
    const qsizetype lineEnd = start.indexOf('\n');
    const QByteArrayView firstLine = lineEnd < 0 ? start : start.first(lineEnd);
    if (firstLine.contains("latitude") && firstLine.contains("longitude") && firstLine.contains(','))
        return Format::Csv;
    return Format::FixedColumns;
}

namespace {

    // Appends ` "PLACE (MAG)" color=green` and the line end; NaN for no magnitude.
    void appendLabelAndEnd(QByteArray& out, QByteArrayView place, double magnitude)
    {
        out += " \"";
        feeds::appendLabelText(out, place);
        out += " (";
        // Beyond any earthquake measured: no magnitude rather than a row of digits.
        if (std::isfinite(magnitude) && std::abs(magnitude) < 15)
            feeds::appendNumber(out, magnitude, 1);
        else
            out += '?';
        out += ")\" color=green\r\n";
    }

    struct Columns
    {
        qsizetype latitude = -1, longitude = -1, magnitude = -1, place = -1;
    };

    Columns columnsOf(const std::vector<Field>& header)
    {
        Columns columns;
        for (qsizetype i = 0; i < qsizetype(header.size()); ++i) {
            const QByteArrayView name = trimmed(header[i].raw);
            if (name == "latitude")
                columns.latitude = i;
            else if (name == "longitude")
                columns.longitude = i;
            else if (name == "mag")
                columns.magnitude = i;
            else if (name == "place")
                columns.place = i;
        }
        return columns;
    }

    void csvRecord(const std::vector<Field>& fields, const Columns& columns, feeds::Conversion& c, QByteArray& scratch)
    {
        const auto count = qsizetype(fields.size());
        const qsizetype needed = std::max(columns.latitude, columns.longitude) + 1;
        double lat = 0, lon = 0;
        if (count < needed || !toNumber(fields[columns.latitude].raw, &lat)
            || !toNumber(fields[columns.longitude].raw, &lon) || !feeds::isPosition(lat, lon))
            return;
        ++c.positions;
        QByteArray& out = c.out.line();
        feeds::appendPosition(out, lat, lon);
        const Field none;
        const Field& place = columns.place >= 0 && columns.place < count ? fields[columns.place] : none;
        const Field& mag = columns.magnitude >= 0 && columns.magnitude < count ? fields[columns.magnitude] : none;
        double magnitude = std::numeric_limits<double>::quiet_NaN();
        toNumber(mag.raw, &magnitude);
        appendLabelAndEnd(out, fieldText(place, scratch), magnitude);
        c.out.lineDone();
    }

} // namespace

bool csvMarkers(QIODevice& in, feeds::Conversion& c)
{
    std::vector<Field> fields;
    QByteArray scratch;
    Columns columns;
    bool header = true;
    return feeds::readRecordBlocks(in, true, c, [&](QByteArrayView block) {
        const char* p = block.data();
        const char* const end = p + block.size();
        if (header) {
            if (block.startsWith("\xEF\xBB\xBF"))
                p += 3;
            p = readRecord(p, end, fields);
            columns = columnsOf(fields);
            if (columns.latitude < 0 || columns.longitude < 0)
                return c.fail(QStringLiteral("no latitude and longitude columns"));
            header = false;
        }
        const qsizetype wanted
            = std::max({ columns.latitude, columns.longitude, columns.magnitude, columns.place }) + 1;
        while (p < end) {
            const char* record = p;
            p = readRecord(p, end, fields, wanted);
            if (p - record <= 2 && trimmed(QByteArrayView(record, p - record)).isEmpty())
                continue; // a blank line is no record
            if (!c.countRecord())
                return false;
            csvRecord(fields, columns, c, scratch);
        }
        return true;
    });
}

namespace {

    using feeds::JsonStream;
    using Token = JsonStream::Token;

    // A feature's position, magnitude and place, from whichever of its members hold them.
    struct Quake
    {
        double latitude = std::numeric_limits<double>::quiet_NaN();
        double longitude = std::numeric_limits<double>::quiet_NaN();
        double magnitude = std::numeric_limits<double>::quiet_NaN();
        QByteArray place;
    };

    bool readCoordinates(JsonStream& json, Quake& quake)
    {
        int index = 0;
        return json.elements([&](Token t) {
            if (t == Token::Number && index < 2)
                (index == 0 ? quake.longitude : quake.latitude) = json.number();
            ++index;
            return json.skip(t);
        });
    }

    bool readFeature(JsonStream& json, Quake& quake)
    {
        return json.members([&](const QByteArray& key) {
            if (key == "geometry") {
                const Token t = json.next();
                if (t != Token::BeginObject)
                    return json.skip(t);
                return json.members([&](const QByteArray& name) {
                    if (name != "coordinates")
                        return json.skipValue();
                    const Token list = json.next();
                    return list == Token::BeginArray ? readCoordinates(json, quake) : json.skip(list);
                });
            }
            if (key == "properties") {
                const Token t = json.next();
                if (t != Token::BeginObject)
                    return json.skip(t);
                return json.members([&](const QByteArray& name) {
                    const bool mag = name == "mag", place = name == "place";
                    const Token v = json.next();
                    if (mag && v == Token::Number)
                        quake.magnitude = json.number();
                    else if (place && v == Token::String)
                        quake.place = json.text().left(feeds::limits::maxLabel);
                    return json.skip(v);
                });
            }
            return json.skipValue();
        });
    }

} // namespace

bool geoJsonMarkers(QIODevice& in, feeds::Conversion& c)
{
    static constexpr feeds::JsonList kCollection { "features", feeds::JsonList::Objects,
        "not a GeoJSON feature collection", "no features in the document" };
    return feeds::readJsonList(in, c, kCollection, [&](JsonStream& json) {
        Quake quake;
        if (!readFeature(json, quake))
            return false;
        if (!feeds::isPosition(quake.latitude, quake.longitude))
            return true;
        ++c.positions;
        QByteArray& out = c.out.line();
        feeds::appendPosition(out, quake.latitude, quake.longitude);
        appendLabelAndEnd(out, quake.place, quake.magnitude);
        c.out.lineDone();
        return true;
    });
}

} // namespace gw::quake
