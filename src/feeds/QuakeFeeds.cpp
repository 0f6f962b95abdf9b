#include "feeds/QuakeFeeds.h"

#include "feeds/FeedConversion.h"
#include "feeds/JsonStream.h"
#include "feeds/RecordBlocks.h"

#include <QIODevice>

#include <algorithm>
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

    constexpr qint64 kHourMsecs = 3600 * 1000;

    // The summary feeds' earthquakes as maps of them are read: a label only for the strong
    // ones, a marker that grows with the magnitude, red for the last hour, orange for the last
    // day, yellow before. The last hour's lines are held back and written last, so xplanet
    // draws them on top.
    class QuakeLines
    {
    public:
        explicit QuakeLines(feeds::Conversion& c)
            : m_c(c)
        {
        }

        void add(double latitude, double longitude, QByteArrayView place, double magnitude, qint64 msecs)
        {
            ++m_c.positions;
            const bool known = std::isfinite(magnitude) && std::abs(magnitude) < 15;
            const bool recent = msecs != 0 && m_c.options.nowMsecs - msecs < kHourMsecs;
            QByteArray& out = recent ? m_line : m_c.out.line();
            feeds::appendPosition(out, latitude, longitude);
            out += " \"";
            if (known && magnitude >= m_c.options.quakeLabelMagnitude) {
                feeds::appendLabelText(out, place);
                out += " (";
                feeds::appendNumber(out, magnitude, 1);
                out += ')';
            }
            out += "\" color=";
            if (recent)
                out += "{255,0,0}";
            else if (msecs != 0 && m_c.options.nowMsecs - msecs < 24 * kHourMsecs)
                out += "{255,150,0}";
            else
                out += "{255,255,0}";
            out += " symbolsize=";
            out += QByteArray::number(known ? std::clamp(qRound(magnitude * 1.5 - 1), 2, 14) : 3);
            out += "\r\n";
            if (recent) {
                m_recent.push_back(m_line);
                m_line.clear();
            } else {
                m_c.out.lineDone();
            }
        }

        // The last hour's lines, after all others.
        void finish()
        {
            for (const QByteArray& line : m_recent) {
                m_c.out.line() += line;
                m_c.out.lineDone();
            }
            m_recent.clear();
        }

    private:
        feeds::Conversion& m_c;
        QByteArray m_line;
        std::vector<QByteArray> m_recent;
    };

    struct Columns
    {
        qsizetype latitude = -1, longitude = -1, magnitude = -1, place = -1, time = -1;
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
            else if (name == "time")
                columns.time = i;
        }
        return columns;
    }

    void csvRecord(const std::vector<Field>& fields, const Columns& columns, QuakeLines& lines, QByteArray& scratch)
    {
        const auto count = qsizetype(fields.size());
        const qsizetype needed = std::max(columns.latitude, columns.longitude) + 1;
        double lat = 0, lon = 0;
        if (count < needed || !toNumber(fields[columns.latitude].raw, &lat)
            || !toNumber(fields[columns.longitude].raw, &lon) || !feeds::isPosition(lat, lon))
            return;
        const Field none;
        const Field& place = columns.place >= 0 && columns.place < count ? fields[columns.place] : none;
        const Field& mag = columns.magnitude >= 0 && columns.magnitude < count ? fields[columns.magnitude] : none;
        const Field& time = columns.time >= 0 && columns.time < count ? fields[columns.time] : none;
        double magnitude = std::numeric_limits<double>::quiet_NaN();
        toNumber(mag.raw, &magnitude);
        lines.add(lat, lon, fieldText(place, scratch), magnitude, feeds::isoTimeMsecs(trimmed(time.raw)));
    }

} // namespace

bool csvMarkers(QIODevice& in, feeds::Conversion& c)
{
    std::vector<Field> fields;
    QByteArray scratch;
    Columns columns;
    bool header = true;
    QuakeLines lines(c);
    const bool read = feeds::readRecordBlocks(in, true, c, [&](QByteArrayView block) {
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
            = std::max({ columns.latitude, columns.longitude, columns.magnitude, columns.place, columns.time }) + 1;
        while (p < end) {
            const char* record = p;
            p = readRecord(p, end, fields, wanted);
            if (p - record <= 2 && trimmed(QByteArrayView(record, p - record)).isEmpty())
                continue; // a blank line is no record
            if (!c.countRecord())
                return false;
            csvRecord(fields, columns, lines, scratch);
        }
        return true;
    });
    lines.finish();
    return read;
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
        double msecs = 0;
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
                    const bool mag = name == "mag", place = name == "place", time = name == "time";
                    const Token v = json.next();
                    if (mag && v == Token::Number)
                        quake.magnitude = json.number();
                    else if (time && v == Token::Number)
                        quake.msecs = json.number();
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
    QuakeLines lines(c);
    const bool read = feeds::readJsonList(in, c, kCollection, [&](JsonStream& json) {
        Quake quake;
        if (!readFeature(json, quake))
            return false;
        if (!feeds::isPosition(quake.latitude, quake.longitude))
            return true;
        // Milliseconds since 1970; a time outside the years a feed can hold counts as none.
        const bool timed = std::isfinite(quake.msecs) && std::abs(quake.msecs) < 1e14;
        lines.add(quake.latitude, quake.longitude, quake.place, quake.magnitude, timed ? qint64(quake.msecs) : 0);
        return true;
    });
    lines.finish();
    return read;
}

} // namespace gw::quake
