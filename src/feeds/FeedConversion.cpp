#include "feeds/FeedConversion.h"

#include "feeds/AuroraFeed.h"
#include "feeds/EonetFeed.h"
#include "feeds/JsonStream.h"
#include "feeds/QuakeFeeds.h"
#include "feeds/StormFeed.h"
#include "feeds/StormLayer.h"
#include "shared/PartFile.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <charconv>
#include <cmath>

namespace gw::feeds {

namespace {

    constexpr qsizetype kWriteBlock = 256 * 1024;
    constexpr qint64 kSniffBytes = 4096;

    QByteArrayView withoutBom(QByteArrayView text)
    {
        return text.startsWith("\xEF\xBB\xBF") ? text.sliced(3) : text;
    }

    bool isJsonObject(QByteArrayView start)
    {
        start = withoutBom(start);
        while (!start.isEmpty() && static_cast<unsigned char>(start.front()) <= ' ')
            start = start.sliced(1);
        return start.startsWith('{');
    }

    // What came instead of a feed, for the log line: mostly a web page of the server's.
    QString describe(QByteArrayView start, qint64 size)
    {
        if (size == 0)
            return QStringLiteral("empty file");
        const QByteArray lower = start.first(std::min<qsizetype>(start.size(), 512)).toByteArray().toLower();
        if (lower.contains("<html") || lower.contains("<!doctype html") || lower.contains("<body"))
            return QStringLiteral("HTML page, %1 bytes").arg(size);
        return QStringLiteral("%1 bytes of other content").arg(size);
    }

    // The reader for a feed of `kind` that starts with `start`; null, with the reason, when the
    // content is no such feed.
    Reader readerFor(Kind kind, QByteArrayView start, qint64 size, QString* error)
    {
        switch (kind) {
        case Kind::Quake:
        case Kind::QuakeList:
            switch (quake::formatOf(start)) {
            case quake::Format::Csv:
                return quake::csvMarkers;
            case quake::Format::GeoJson:
                return quake::geoJsonMarkers;
            case quake::Format::FixedColumns:
                // The old list's columns have no mark of their own: only its address tells it.
                if (kind == Kind::QuakeList)
                    return quake::fixedColumnMarkers;
                *error = QStringLiteral("not an earthquake feed: ") + describe(start, size);
                return nullptr;
            }
            break;
        case Kind::Aurora:
            if (isJsonObject(start))
                return aurora::markers;
            *error = QStringLiteral("not an aurora forecast: ") + describe(start, size);
            return nullptr;
        case Kind::Storms:
            if (isJsonObject(start))
                return storms::markers;
            *error = QStringLiteral("not a storm list: ") + describe(start, size);
            return nullptr;
        case Kind::EonetStorms:
        case Kind::Volcanoes:
        case Kind::Wildfires:
            if (isJsonObject(start))
                return kind == Kind::Volcanoes ? eonet::volcanoMarkers
                    : kind == Kind::Wildfires  ? eonet::wildfireMarkers
                                               : eonetStormMarkers;
            *error = QStringLiteral("not a list of events: ") + describe(start, size);
            return nullptr;
        case Kind::None:
            break;
        }
        *error = QStringLiteral("not a feed");
        return nullptr;
    }

    // Reads the device through the reader for its content into `out`.
    bool convertDevice(
        Kind kind, QIODevice& in, qint64 size, QIODevice& out, const Options& options, qint64* markers, QString* error)
    {
        if (size > limits::maxFileBytes) {
            *error = QStringLiteral("%1 bytes, more than the %2 MiB a feed may have")
                         .arg(size)
                         .arg(limits::maxFileBytes / (1024 * 1024));
            return false;
        }
        const QByteArray start = in.peek(kSniffBytes);
        const Reader reader = readerFor(kind, start, size, error);
        if (!reader)
            return false;
        MarkerSink sink(out);
        Conversion c { sink, options };
        if (c.options.nowMsecs == 0)
            c.options.nowMsecs = QDateTime::currentMSecsSinceEpoch();
        if (!reader(in, c)) {
            *error = c.error;
            return false;
        }
        // Records and not one of them on the map: the feed changed its form, or is broken.
        if (c.records > 0 && c.positions == 0) {
            *error = QStringLiteral("not one of its %1 records has a position").arg(c.records);
            return false;
        }
        *markers = sink.markers();
        return sink.finish(error);
    }

} // namespace

MarkerSink::MarkerSink(QIODevice& device)
    : m_device(device)
{
    m_buffer.reserve(kWriteBlock + 1024);
}

void MarkerSink::lineDone()
{
    ++m_markers;
    if (m_buffer.size() >= kWriteBlock)
        flush();
}

void MarkerSink::flush()
{
    if (!m_failed && !m_buffer.isEmpty() && m_device.write(m_buffer) != m_buffer.size())
        m_failed = true;
    m_buffer.clear();
}

bool MarkerSink::finish(QString* error)
{
    flush();
    if (m_failed)
        *error = QStringLiteral("cannot write the markers: ") + m_device.errorString();
    return !m_failed;
}

bool Conversion::countRecord()
{
    if (++records <= limits::maxRecords)
        return true;
    return fail(QStringLiteral("more than %1 records").arg(limits::maxRecords));
}

bool Conversion::fail(const QString& why)
{
    if (error.isEmpty())
        error = why;
    return false;
}

bool readJsonList(
    QIODevice& in, Conversion& c, const JsonList& form, const std::function<bool(JsonStream& json)>& record)
{
    using Token = JsonStream::Token;
    JsonStream json(in, limits::maxDepth, limits::maxString);
    const Token recordStart = form.records == JsonList::Lists ? Token::BeginArray : Token::BeginObject;
    bool listed = false;
    const bool read = json.next() == Token::BeginObject && json.members([&](const QByteArray& key) {
        if (key != form.key)
            return json.skipValue();
        if (json.next() != Token::BeginArray)
            return c.fail(QStringLiteral("its %1 are no list").arg(QLatin1String(form.key)));
        listed = true;
        return json.elements([&](Token t) {
            if (!c.countRecord())
                return false;
            return t == recordStart ? record(json) : json.skip(t);
        });
    }) && json.atEnd();
    if (!read && !json.error().isEmpty())
        return c.fail(QStringLiteral("not JSON: ") + json.error());
    if (!read)
        return c.fail(QLatin1String(form.notThis));
    return listed || c.fail(QLatin1String(form.missing));
}

void appendNumber(QByteArray& out, double value, int decimals)
{
    char buffer[400]; // a double in fixed form has at most 309 digits before its point
    const auto result = decimals < 0
        ? std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed)
        : std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (result.ec == std::errc())
        out.append(buffer, result.ptr - buffer);
}

bool isPosition(double latitude, double longitude)
{
    return std::isfinite(latitude) && std::isfinite(longitude) && std::abs(latitude) <= 90.0
        && std::abs(longitude) <= 180.0;
}

// The label is one quoted option value: a '"' in it would end it and let the rest of the line
// become options xplanet obeys (an image file, say), and a line break would start a new marker.
void appendLabelText(QByteArray& out, QByteArrayView text)
{
    if (text.size() > limits::maxLabel) {
        qsizetype cut = limits::maxLabel;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut; // not inside a character
        text = text.first(cut);
    }
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"')
            out += '\'';
        else if (u < ' ' || u == 0x7f)
            out += ' ';
        else
            out += c;
    }
}

namespace {

    // Reads `digits` digits at `p`; -1 when there are not as many.
    int digitsAt(QByteArrayView text, qsizetype& p, int digits)
    {
        int value = 0;
        for (int i = 0; i < digits; ++i, ++p) {
            if (p >= text.size() || text[p] < '0' || text[p] > '9')
                return -1;
            value = value * 10 + (text[p] - '0');
        }
        return value;
    }

    bool expect(QByteArrayView text, qsizetype& p, char c)
    {
        return p < text.size() && text[p++] == c;
    }

    // Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
    qint64 daysFromCivil(qint64 y, int m, int d)
    {
        y -= m <= 2;
        const qint64 era = (y >= 0 ? y : y - 399) / 400;
        const qint64 yoe = y - era * 400;
        const qint64 doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
        const qint64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
        return era * 146097 + doe - 719468;
    }

} // namespace

// Written out rather than parsed by QDateTime: a month of earthquakes has 15,000 of them.
qint64 isoTimeMsecs(QByteArrayView text)
{
    qsizetype p = 0;
    const int year = digitsAt(text, p, 4);
    if (year < 0 || !expect(text, p, '-'))
        return 0;
    const int month = digitsAt(text, p, 2);
    if (!expect(text, p, '-'))
        return 0;
    const int day = digitsAt(text, p, 2);
    if (p >= text.size() || (text[p] != 'T' && text[p] != ' '))
        return 0;
    ++p;
    const int hour = digitsAt(text, p, 2);
    if (!expect(text, p, ':'))
        return 0;
    const int minute = digitsAt(text, p, 2);
    int second = 0, millis = 0;
    if (p < text.size() && text[p] == ':') {
        ++p;
        second = digitsAt(text, p, 2);
        if (p < text.size() && text[p] == '.') {
            ++p;
            int scale = 100;
            for (; p < text.size() && text[p] >= '0' && text[p] <= '9'; ++p, scale /= 10)
                millis += (text[p] - '0') * scale;
        }
    }
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 || minute > 59
        || second < 0 || second > 60)
        return 0;
    qint64 offsetMinutes = 0;
    if (p < text.size() && (text[p] == '+' || text[p] == '-')) {
        const int sign = text[p++] == '-' ? -1 : 1;
        const int hours = digitsAt(text, p, 2);
        if (p < text.size() && text[p] == ':')
            ++p;
        const int minutes = digitsAt(text, p, 2);
        if (hours < 0 || minutes < 0 || hours > 23 || minutes > 59)
            return 0;
        offsetMinutes = sign * (hours * 60 + minutes);
    } else if (p < text.size() && text[p] == 'Z') {
        ++p;
    }
    if (p != text.size())
        return 0;
    const qint64 minutes = daysFromCivil(year, month, day) * 1440 + hour * 60 + minute - offsetMinutes;
    return (minutes * 60 + second) * 1000 + millis;
}

void appendPosition(QByteArray& out, double latitude, double longitude)
{
    appendNumber(out, latitude);
    out += ' ';
    appendNumber(out, longitude);
}

Outcome convertFile(Kind kind, const QString& input, const QString& markerFile, const Options& options)
{
    Outcome outcome;
    QFile in(input);
    if (!in.exists())
        return outcome;
    outcome.status = Outcome::Failed;
    if (!in.open(QIODevice::ReadOnly)) {
        outcome.error = QStringLiteral("cannot read it: ") + in.errorString();
        return outcome;
    }
    PartFile part(markerFile);
    if (!part.isOpen()) {
        outcome.error = QStringLiteral("cannot create a file beside ") + QFileInfo(markerFile).fileName();
        return outcome;
    }
    if (!convertDevice(kind, in, in.size(), part.file(), options, &outcome.markers, &outcome.error))
        return outcome;
    if (!part.replaceDestination()) {
        outcome.error = QStringLiteral("cannot replace ") + QFileInfo(markerFile).fileName();
        return outcome;
    }
    outcome.status = Outcome::Written;
    return outcome;
}

QByteArray convertText(Kind kind, const QByteArray& text, QString* error, const Options& options)
{
    QByteArray copy = text;
    QBuffer in(&copy);
    in.open(QIODevice::ReadOnly);
    QByteArray markers;
    QBuffer out(&markers);
    out.open(QIODevice::WriteOnly);
    QString why;
    qint64 count = 0;
    if (!convertDevice(kind, in, text.size(), out, options, &count, &why)) {
        if (error)
            *error = why;
        return {};
    }
    return markers;
}

} // namespace gw::feeds
