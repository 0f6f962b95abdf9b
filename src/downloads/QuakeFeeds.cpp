#include "downloads/QuakeFeeds.h"

#include "shared/Endpoints.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QUrl>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace gw::quake {

namespace {

    constexpr QByteArrayView kSummaryPath("/earthquakes/feed/v1.0/summary/");

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

    void appendNumber(QByteArray& out, double value, int decimals = -1)
    {
        char buffer[64];
        const auto result = decimals < 0
            ? std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed)
            : std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
        out.append(buffer, result.ptr - buffer);
    }

    // A position xplanet can place; anything else (empty, words, out of range) is no earthquake.
    bool appendPosition(QByteArray& out, double latitude, double longitude)
    {
        if (!std::isfinite(latitude) || !std::isfinite(longitude) || std::abs(latitude) > 90.0
            || std::abs(longitude) > 360.0)
            return false;
        appendNumber(out, latitude);
        out += ' ';
        appendNumber(out, longitude);
        return true;
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

void appendLabelAndEnd(QByteArray& out, QByteArrayView place, QByteArrayView magnitude)
{
    out += " \"";
    appendLabelText(out, place);
    out += " (";
    double value = 0;
    if (toNumber(magnitude, &value))
        appendNumber(out, value, 1);
    else
        out += '?';
    out += ")\" color=green\r\n";
}

QByteArray csvMarkers(QByteArrayView text)
{
    if (text.startsWith("\xEF\xBB\xBF"))
        text = text.sliced(3);
    const char* p = text.data();
    const char* const end = p + text.size();
    std::vector<Field> fields;
    p = readRecord(p, end, fields);
    qsizetype latitude = -1, longitude = -1, magnitude = -1, place = -1;
    for (qsizetype i = 0; i < qsizetype(fields.size()); ++i) {
        const QByteArrayView name = trimmed(fields[i].raw);
        if (name == "latitude")
            latitude = i;
        else if (name == "longitude")
            longitude = i;
        else if (name == "mag")
            magnitude = i;
        else if (name == "place")
            place = i;
    }
    QByteArray out;
    if (latitude < 0 || longitude < 0)
        return out;
    out.reserve(text.size() / 2);
    const qsizetype needed = std::max(latitude, longitude) + 1;
    const Field none;
    QByteArray scratch;
    const qsizetype wanted = std::max({ latitude, longitude, magnitude, place }) + 1;
    while (p < end) {
        p = readRecord(p, end, fields, wanted);
        const auto count = qsizetype(fields.size());
        double lat = 0, lon = 0;
        if (count < needed || !toNumber(fields[latitude].raw, &lat) || !toNumber(fields[longitude].raw, &lon))
            continue;
        if (!appendPosition(out, lat, lon))
            continue;
        const Field& placeField = place >= 0 && place < count ? fields[place] : none;
        const Field& magField = magnitude >= 0 && magnitude < count ? fields[magnitude] : none;
        appendLabelAndEnd(out, fieldText(placeField, scratch), magField.raw);
    }
    return out;
}

QByteArray geoJsonMarkers(const QByteArray& text)
{
    QByteArray out;
    const QJsonDocument document = QJsonDocument::fromJson(text);
    const QJsonArray features = document.object().value(QLatin1String("features")).toArray();
    for (const QJsonValue& feature : features) {
        const QJsonObject object = feature.toObject();
        const QJsonArray coordinates
            = object.value(QLatin1String("geometry")).toObject().value(QLatin1String("coordinates")).toArray();
        if (coordinates.size() < 2 || !coordinates.at(0).isDouble() || !coordinates.at(1).isDouble())
            continue;
        if (!appendPosition(out, coordinates.at(1).toDouble(), coordinates.at(0).toDouble()))
            continue;
        const QJsonObject properties = object.value(QLatin1String("properties")).toObject();
        const QJsonValue mag = properties.value(QLatin1String("mag"));
        QByteArray magnitude;
        if (mag.isDouble())
            appendNumber(magnitude, mag.toDouble());
        appendLabelAndEnd(out, properties.value(QLatin1String("place")).toString().toUtf8(), magnitude);
    }
    return out;
}

bool isSummaryFeed(const QString& url)
{
    const QUrl address(url);
    const QUrl service(endpoints::hosts().quakeFeeds);
    if (!address.isValid() || (address.scheme() != QLatin1String("http") && address.scheme() != QLatin1String("https")))
        return false;
    return address.host().compare(service.host(), Qt::CaseInsensitive) == 0 && address.port() == service.port()
        && address.path().toUtf8().startsWith(kSummaryPath);
}

} // namespace gw::quake
