// The JSON feeds (aurora forecast, storm list, earthquake GeoJSON, the natural event tracker's
// volcanoes, wildfires and storms, and the storm layer made of the list and the tracker's storms)
// on any bytes. The stream
// reader gives the same tokens, texts, numbers and error whether the device hands it the
// document whole or a few bytes a read, never nests deeper or reads a longer text than its
// limits, and gives its tokens in an order the grammar allows. A conversion either fails with
// a reason and no markers, or writes marker lines that are whole, placed on the globe and quoted
// once; a failed conversion leaves the previous marker file as it was.
#include "FuzzSupport.h"

#include "feeds/FeedConversion.h"
#include "feeds/JsonStream.h"
#include "feeds/QuakeFeeds.h"
#include "feeds/StormLayer.h"

#include <QBuffer>
#include <QFile>

#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr size_t kMaxInput = 256 * 1024;

using gw::feeds::JsonStream;
using Token = JsonStream::Token;

// At most `piece` bytes a read, as from a slow connection: tokens break across the reader's
// buffers.
class Trickle : public QIODevice
{
public:
    Trickle(const QByteArray& data, qint64 piece)
        : m_data(data)
        , m_piece(piece)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* out, qint64 max) override
    {
        const qint64 n = std::min({ max, m_piece, qint64(m_data.size()) - m_at });
        std::memcpy(out, m_data.constData() + m_at, size_t(n));
        m_at += n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    const QByteArray m_data;
    const qint64 m_piece;
    qint64 m_at = 0;
};

struct Step
{
    Token token;
    QByteArray text;
    double number;
    bool boolean;
    bool operator==(const Step& o) const
    {
        return token == o.token && text == o.text && std::memcmp(&number, &o.number, sizeof number) == 0
            && boolean == o.boolean;
    }
};

// Every token of the document with the properties each must have; the error, if any, last.
std::vector<Step> tokens(QIODevice& device, qsizetype maxString, QString* error)
{
    constexpr int kMaxDepth = gw::feeds::limits::maxDepth;
    JsonStream json(device, kMaxDepth, maxString);
    std::vector<Step> steps;
    std::vector<bool> open; // true: an object
    bool wantKey = false; // in an object, between its members
    for (;;) {
        const Token t = json.next();
        const bool inObject = !open.empty() && open.back();
        switch (t) {
        case Token::Key:
            FUZZ_CHECK(wantKey, "a key only where an object's member begins");
            break;
        case Token::EndObject:
        case Token::EndArray:
            FUZZ_CHECK(!open.empty() && inObject == (t == Token::EndObject), "a container closes as it opened");
            FUZZ_CHECK(!inObject || wantKey, "no object ends after a key");
            open.pop_back();
            break;
        case Token::End:
            FUZZ_CHECK(open.empty() && !steps.empty(), "the end comes after a whole value");
            break;
        case Token::Error:
            FUZZ_CHECK(!json.error().isEmpty(), "an error says what is wrong");
            break;
        default:
            FUZZ_CHECK(!wantKey, "a value only where a value may be");
            break;
        }
        if (t == Token::BeginObject || t == Token::BeginArray)
            open.push_back(t == Token::BeginObject);
        if (t == Token::Error)
            open.clear();
        wantKey = t != Token::Key && !open.empty() && open.back();
        FUZZ_CHECK(json.depth() == int(open.size()) && json.depth() <= kMaxDepth, "the depth is the open containers");
        FUZZ_CHECK(
            (t != Token::Key && t != Token::String) || json.text().size() <= maxString, "a text is at most its limit");
        FUZZ_CHECK(t != Token::Number || !std::isnan(json.number()), "a number is never NaN");
        steps.push_back({ t, t == Token::Key || t == Token::String ? json.text() : QByteArray(),
            t == Token::Number ? json.number() : 0.0, t == Token::Bool && json.boolean() });
        if (t == Token::End || t == Token::Error) {
            FUZZ_CHECK(json.next() == t, "the end and an error stay");
            *error = json.error();
            return steps;
        }
    }
}

// The reader notices a string past its limit at the start of the piece of it in its buffer, so
// that error's byte depends on how the bytes arrived; every other error names the same byte.
bool sameError(const QString& a, const QString& b)
{
    static const QString kLong = QStringLiteral("a string longer than ");
    if (a.startsWith(kLong) && b.startsWith(kLong))
        return a.section(QStringLiteral(" at byte "), 0, 0) == b.section(QStringLiteral(" at byte "), 0, 0);
    return a == b;
}

// Reads `count` numbers separated by blanks from the start of `line`; false when it cannot.
bool leadingNumbers(const QByteArray& line, double* out, int count, const char** rest)
{
    const char* p = line.constData();
    const char* end = p + line.size();
    for (int i = 0; i < count; ++i) {
        const auto r = std::from_chars(p, end, out[i]);
        if (r.ec != std::errc() || r.ptr >= end || *r.ptr != ' ')
            return false;
        p = r.ptr + 1;
    }
    *rest = p;
    return true;
}

// Arc lines as xplanet reads them: `lat1 lon1 lat2 lon2 color={..} thickness=2` and CR LF, both
// ends on the globe.
void checkArcs(const QByteArray& arcs)
{
    FUZZ_CHECK(arcs.isEmpty() || arcs.endsWith("\r\n"), "the last arc line is complete");
    for (const QByteArray& line : arcs.split('\n')) {
        if (line.isEmpty())
            continue;
        double v[4];
        const char* rest = nullptr;
        FUZZ_CHECK(leadingNumbers(line, v, 4, &rest), "an arc begins with two positions");
        FUZZ_CHECK(gw::feeds::isPosition(v[0], v[1]) && gw::feeds::isPosition(v[2], v[3]), "both ends on the globe");
        FUZZ_CHECK(QByteArrayView(rest).startsWith("color={") && line.endsWith(" thickness=2\r"), "then its style");
    }
}

// Marker lines as xplanet reads them: `lat lon "label" ...<ending>` and CR LF. An earthquake's
// ending is its colour and its size.
void checkMarkers(const QByteArray& markers, const char* ending)
{
    FUZZ_CHECK(markers.isEmpty() || markers.endsWith("\r\n"), "the last marker line is complete");
    for (const QByteArray& line : markers.split('\n')) {
        if (line.isEmpty())
            continue;
        if (*ending)
            FUZZ_CHECK(line.endsWith(QByteArray(ending) + '\r'), "every marker line ends as its feed's do");
        else
            FUZZ_CHECK(line.mid(line.lastIndexOf('"')).startsWith("\" color={") && line.contains("} symbolsize="),
                "an earthquake's marker has its colour and size");
        FUZZ_CHECK(line.count('"') == 2, "the label is quoted once: its own quotes are replaced");
        for (qsizetype i = 0; i + 1 < line.size(); ++i)
            FUZZ_CHECK(static_cast<unsigned char>(line[i]) >= ' ', "no control byte inside a marker line");
        double latitude = NAN, longitude = NAN;
        const char* p = line.constData();
        const char* end = p + line.size();
        const auto lat = std::from_chars(p, end, latitude);
        FUZZ_CHECK(lat.ec == std::errc() && lat.ptr < end && *lat.ptr == ' ', "a marker begins with its latitude");
        const auto lon = std::from_chars(lat.ptr + 1, end, longitude);
        FUZZ_CHECK(lon.ec == std::errc() && lon.ptr < end && *lon.ptr == ' ', "then its longitude");
        FUZZ_CHECK(gw::feeds::isPosition(latitude, longitude), "a marker is on the globe");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > kMaxInput)
        return 0;
    static const struct
    {
        gw::feeds::Kind kind;
        const char* ending;
        const char* file;
    } kFeeds[] = {
        { gw::feeds::Kind::Aurora, " symbolsize=2 outlined=false", "aurora.json" },
        { gw::feeds::Kind::Storms, " symbolsize=8", "storms.json" },
        { gw::feeds::Kind::Quake, "", "quakes.geojson" },
        { gw::feeds::Kind::Volcanoes, " color={255,140,0} symbolsize=6", "volcanoes.json" },
        { gw::feeds::Kind::Wildfires, " color={255,0,0} symbolsize=4", "wildfires.json" },
        { gw::feeds::Kind::EonetStorms, " symbolsize=8", "storm-events.json" },
        // The input as the tracker's storms beside a list of two storms: the layer's merge.
        { gw::feeds::Kind::None, " symbolsize=8", "storm-events.json" },
    };
    FuzzedDataProvider in(data, size);
    const auto& feed = kFeeds[in.ConsumeIntegralInRange<int>(0, 6)];
    const qint64 piece = in.ConsumeIntegralInRange<qint64>(1, 64);
    const qsizetype maxString = in.ConsumeIntegralInRange<qsizetype>(1, 256);
    gw::feeds::Options options;
    options.auroraThreshold = in.ConsumeIntegralInRange<int>(-10, 110);
    const std::string rest = in.ConsumeRemainingBytesAsString();
    const QByteArray document(rest.data(), qsizetype(rest.size()));

    QBuffer whole;
    whole.setData(document);
    whole.open(QIODevice::ReadOnly);
    Trickle pieces(document, piece);
    QString wholeError, piecesError;
    const std::vector<Step> read = tokens(whole, maxString, &wholeError);
    FUZZ_CHECK(tokens(pieces, maxString, &piecesError) == read, "the same tokens however the bytes arrive");
    FUZZ_CHECK(sameError(piecesError, wholeError), "the same error however the bytes arrive");

    if (feed.kind == gw::feeds::Kind::None) {
        static const QByteArray list
            = R"({"activeStorms":[{"name":"Ana","classification":"HU","intensity":"120",)"
              R"("latitudeNumeric":20,"longitudeNumeric":-60,"lastUpdate":"2026-09-01T12:00:00Z"},)"
              R"({"name":"Kirk","intensity":"40","latitudeNumeric":-15,"longitudeNumeric":80}]})";
        QByteArray markers, arcs;
        QString error;
        const bool written = gw::feeds::convertStormText(list, document, &markers, &arcs, &error);
        FUZZ_CHECK(written == error.isEmpty(), "a failed merge says why");
        FUZZ_CHECK(written || (markers.isEmpty() && arcs.isEmpty()), "a failed merge gives no files");
        FUZZ_CHECK(!written || markers.count('\n') >= 2, "the list's storms are always drawn");
        checkMarkers(markers, feed.ending);
        checkArcs(arcs);
        return 0;
    }
    // The other earthquake formats have a target of their own.
    if (feed.kind == gw::feeds::Kind::Quake && gw::quake::formatOf(document) != gw::quake::Format::GeoJson)
        return 0;
    QString error;
    const QByteArray markers = gw::feeds::convertText(feed.kind, document, &error, options);
    FUZZ_CHECK(error.isEmpty() || markers.isEmpty(), "a failed conversion gives no markers");
    checkMarkers(markers, feed.ending);

    // Now and then the route through files, which is what the download job runs.
    if (size % 8 == 0) {
        const QString input = gwfuzz::writeScratch(QString::fromLatin1(feed.file), document);
        const QByteArray previous = "0 0 \"previous\" color=white\r\n";
        const QString markerFile = gwfuzz::writeScratch(QStringLiteral("feed.marker"), previous);
        const gw::feeds::Outcome outcome = gw::feeds::convertFile(feed.kind, input, markerFile, options);
        QFile written(markerFile);
        FUZZ_CHECK(written.open(QIODevice::ReadOnly), "the marker file is still there");
        const QByteArray now = written.readAll();
        if (outcome.status == gw::feeds::Outcome::Written) {
            FUZZ_CHECK(error.isEmpty() && now == markers, "the file holds the markers");
            FUZZ_CHECK(outcome.markers == markers.count('\n'), "the count is the lines written");
        } else {
            FUZZ_CHECK(outcome.status == gw::feeds::Outcome::Failed, "a written input is read");
            FUZZ_CHECK(!outcome.error.isEmpty() && outcome.error == error, "it fails as in memory, with a reason");
            FUZZ_CHECK(now == previous, "a failed conversion keeps the previous markers");
        }
    }
    return 0;
}
