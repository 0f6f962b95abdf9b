#pragma once
// Downloaded feeds turned into xplanet marker files: the earthquake lists, the aurora forecast
// and the tropical storms. Which feed a download is comes from its address (downloads/
// FeedAddresses) and its content (the format). The input is read in chunks and the markers are
// written as they come into a new file beside the marker file, which replaces it only when the
// whole feed was read: a feed that does not parse, is too large, or has records but not one
// position leaves the previous marker file in place and says why.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

class QIODevice;

namespace gw::feeds {

class JsonStream;

// Bounds no real feed comes near (a month of all earthquakes has some 15,000 records in 15 MB;
// the aurora grid 65,160 points in 1.5 MB), so a broken or hostile one costs little.
namespace limits {
    constexpr qint64 maxFileBytes = 64LL * 1024 * 1024;
    constexpr qint64 maxRecords = 200000;
    constexpr int maxDepth = 32; // GeoJSON needs 5
    constexpr qsizetype maxString = 64 * 1024;
    constexpr qsizetype maxRecordBytes = 1024 * 1024; // one CSV record or list line
    constexpr qsizetype maxLabel = 120; // bytes of a marker's label
} // namespace limits

// EonetStorms, Volcanoes and Wildfires: the natural event tracker's open events of a category.
enum class Kind { None, Quake, QuakeList, Aurora, Storms, EonetStorms, Volcanoes, Wildfires };

struct Options
{
    int auroraThreshold = 10; // percent: weaker points are left out
    double quakeLabelMagnitude = 5.0; // weaker earthquakes of the summary feeds get no label
    qint64 nowMsecs = 0; // the time earthquakes' ages are counted from; 0: the clock's
};

// Marker lines on their way into a device, written in blocks.
class MarkerSink
{
public:
    explicit MarkerSink(QIODevice& device);
    // Append one whole marker line here, then call lineDone().
    QByteArray& line() { return m_buffer; }
    void lineDone();
    // Writes what is buffered; false (with the reason) when the device refused.
    bool finish(QString* error);
    qint64 markers() const { return m_markers; }

private:
    void flush();

    QIODevice& m_device;
    QByteArray m_buffer;
    qint64 m_markers = 0;
    bool m_failed = false;
};

// One conversion under way: the readers count records and positions here and report failure.
struct Conversion
{
    Conversion(MarkerSink& sink, const Options& chosen)
        : out(sink)
        , options(chosen)
    {
    }

    MarkerSink& out;
    Options options;
    qint64 records = 0;
    qint64 positions = 0; // records with a position xplanet can place
    QString error;

    // One more record; false (with the error) past the limit.
    bool countRecord();
    bool fail(const QString& why);
};

// Conversion of a whole file into marker lines. False with `c.error` when the content is no
// such feed or breaks off.
using Reader = bool (*)(QIODevice& in, Conversion& c);

// The form of a JSON feed: one object whose member `key` lists the records, each an object or
// each a list; `notThis` and `missing` are the reasons given for a document of another form and
// for one without that member.
struct JsonList
{
    enum Records { Objects, Lists };
    const char* key;
    Records records;
    const char* notThis;
    const char* missing;
};

// Reads a JSON feed of `form`: other members, and records of another type, are skipped; each
// record is counted and handed to `record` after its opening token, which reads the rest of it
// and appends its marker (false to stop). A Reader's result.
bool readJsonList(
    QIODevice& in, Conversion& c, const JsonList& form, const std::function<bool(JsonStream& json)>& record);

struct Outcome
{
    enum Status { Written, NoInput, Failed } status = NoInput;
    QString error; // for Failed
    qint64 markers = 0;
};

// Converts the download of a feed of `kind` into `markerFile`. A missing input changes nothing.
Outcome convertFile(Kind kind, const QString& input, const QString& markerFile, const Options& options = {});

// The marker lines for `text`, as convertFile would write them; empty with `error` set when
// the conversion fails.
QByteArray convertText(Kind kind, const QByteArray& text, QString* error = nullptr, const Options& options = {});

// Appends `value` with at most `decimals` places (shortest form when -1).
void appendNumber(QByteArray& out, double value, int decimals = -1);
// A position xplanet can place: finite, latitude in [-90, 90], longitude in [-180, 180].
bool isPosition(double latitude, double longitude);
// Appends "LATITUDE LONGITUDE", the start of a marker line.
void appendPosition(QByteArray& out, double latitude, double longitude);
// An ISO 8601 time ("2026-12-08T07:12:33.120Z", an offset or none for UTC) in milliseconds
// since 1970; 0 when the text is no such time.
qint64 isoTimeMsecs(QByteArrayView text);
// Appends `text` as part of a quoted label: '"' becomes '\'', control characters blanks; cut
// (at a character's start) where the label would pass limits::maxLabel bytes.
void appendLabelText(QByteArray& out, QByteArrayView text);

} // namespace gw::feeds
