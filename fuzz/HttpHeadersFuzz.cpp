// The answer's header lines on any bytes, as libcurl hands them over one at a time, and the
// Last-Modified time on its way to the text the download records compare: the status line is
// the last answer's, the header block is whole lines, and a document time gives the same text
// whether it is formatted directly or after the trip through the day count; a Retry-After in
// any form asks for no wait or a wait ahead, never one in the past.
#include "FuzzSupport.h"

#include "net/ResponseHeaders.h"
#include "shared/DateTime.h"

#include <QDateTime>

#include <curl/curl.h>

namespace {

constexpr size_t kMaxInput = 16 * 1024;

// What the freshness check records for a document time.
void recordText(qint64 fileTime)
{
    const QDateTime modified = gw::lastModifiedFromFileTime(fileTime);
    FUZZ_CHECK(fileTime >= 0 || !modified.isValid(), "no time without a document time");
    if (!modified.isValid())
        return;
    const gw::TDateTime days = gw::toDateTime(modified.toLocalTime());
    const QString text = gw::DateTimeToStr(days);
    // Within the years a server can mean, the day count holds the time to the millisecond.
    const QDate date = modified.toLocalTime().date();
    if (date.year() >= 1601 && date.year() <= 9999)
        FUZZ_CHECK(text == gw::DateTimeToStr(modified.toLocalTime()), "the record text keeps the document time");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > kMaxInput)
        return 0;
    FuzzedDataProvider in(data, size);
    recordText(in.ConsumeIntegral<qint64>());
    const QByteArray all = gwfuzz::takeBytes(in, kMaxInput);

    gw::ResponseHeaders headers;
    QByteArray lastStatus;
    qsizetype start = 0;
    while (start < all.size()) {
        const qsizetype nl = all.indexOf('\n', start);
        const qsizetype end = nl < 0 ? all.size() : nl + 1;
        const QByteArray line = all.mid(start, end - start);
        headers.addLine(line);
        if (line.startsWith("HTTP/"))
            lastStatus = line;
        start = end;
    }
    const QByteArray& status = headers.statusLine();
    FUZZ_CHECK(status.isEmpty() == lastStatus.isEmpty(), "a status line is kept once one came");
    FUZZ_CHECK(status.isEmpty() || status.startsWith("HTTP/"), "the status line is one");
    FUZZ_CHECK(!status.endsWith('\n') && !status.endsWith('\r'), "the status line has no line break");
    const QByteArray& raw = headers.rawHeaders();
    FUZZ_CHECK(raw.isEmpty() || raw.endsWith("\r\n"), "header lines end with CR LF");

    const double wait = gw::retryAfterSeconds(raw, QDateTime(QDate(2026, 12, 8), QTime(12, 0), Qt::UTC));
    FUZZ_CHECK(wait == -1 || wait >= 0, "a wait is none or ahead");

    // libcurl reads Last-Modified with its own date parser; its result goes the same way.
    for (const QByteArray& line : raw.split('\n')) {
        if (line.toLower().startsWith("last-modified:")) {
            const QByteArray value = line.mid(14).trimmed();
            recordText(static_cast<qint64>(curl_getdate(value.constData(), nullptr)));
        }
    }
    return 0;
}
