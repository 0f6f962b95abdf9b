// The earthquake list on any bytes: every marker line is complete (position, quoted label,
// colour, for the summary feeds' formats the size, CR LF), there is at most one per line of the list, and the file
// route gives the same marker file as the conversion in memory, or is refused where that conversion is.
#include "FuzzSupport.h"

#include "feeds/FeedConversion.h"
#include "feeds/QuakeMarkers.h"
#include "shared/Error.h"

#include <QFile>

namespace {
constexpr size_t kMaxInput = 256 * 1024;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > kMaxInput)
        return 0;
    const QByteArray list = gwfuzz::bytes(data, size);
    QString refused;
    const QByteArray markers = gw::feeds::convertText(gw::feeds::Kind::QuakeList, list, &refused);
    FUZZ_CHECK(refused.isEmpty() || markers.isEmpty(), "a refused list gives no markers");

    FUZZ_CHECK(markers.isEmpty() || markers.endsWith("\r\n"), "the last marker line is complete");
    FUZZ_CHECK(markers.count('\n') <= list.count('\n') + 1, "at most one marker per line of the list");
    for (const QByteArray& line : markers.split('\n')) {
        if (line.isEmpty())
            continue;
        const QByteArray tail = line.mid(line.lastIndexOf('"'));
        FUZZ_CHECK(tail == "\" color=green\r" || (tail.startsWith("\" color={") && tail.contains("} symbolsize=")),
            "every marker line ends with its colour (and its size)");
        FUZZ_CHECK(line.count('"') >= 2, "the label is quoted");
        const char first = line.at(0);
        FUZZ_CHECK(first == '-' || first == '.' || (first >= '0' && first <= '9'), "a marker begins with its latitude");
    }

    // Now and then the whole route through files, which is what the download job runs.
    if (size % 16 == 0) {
        const QString asc = gwfuzz::writeScratch(QStringLiteral("quake.asc"), list);
        const QString marker = gwfuzz::scratchDir() + QStringLiteral("/quake.marker");
        QFile::remove(marker);
        try {
            gw::ConvertAscQuakeToMarker(asc, marker);
        } catch (const gw::Error&) {
            // A list that is no earthquake list (a JSON document, say) is refused on both routes.
            FUZZ_CHECK(!refused.isEmpty(), "the file route refuses only what the text route refuses");
            FUZZ_CHECK(!QFile::exists(marker), "a refused list writes no marker file");
            return 0;
        }
        FUZZ_CHECK(refused.isEmpty(), "the file route converts what the text route converts");
        QFile written(marker);
        FUZZ_CHECK(written.open(QIODevice::ReadOnly) && written.readAll() == markers, "the file holds the markers");
    }
    return 0;
}
