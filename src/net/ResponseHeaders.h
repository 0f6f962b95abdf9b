#pragma once
// What a transfer keeps of the header lines libcurl hands over one at a time: the status line
// and the header lines of the last answer (after redirects and a proxy's tunnel reply), and the
// document time libcurl read from Last-Modified.
#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QList>

namespace gw {

class ResponseHeaders
{
public:
    // One line as libcurl delivers it, line break included.
    void addLine(QByteArrayView line);

    // E.g. "HTTP/1.1 404 Not Found", blanks and the line break cut; empty before any answer.
    const QByteArray& statusLine() const { return m_statusLine; }
    // The last answer's header lines, each ending with CR LF.
    const QByteArray& rawHeaders() const { return m_rawHeaders; }

private:
    bool m_inHeaders = false;
    QByteArray m_statusLine;
    QByteArray m_rawHeaders;
};

// The values of the header lines named `name` (lower case) in `rawHeaders`, in their order,
// blanks cut.
QList<QByteArray> headerValues(const QByteArray& rawHeaders, QByteArrayView name);

// A date as HTTP writes it: "Tue, 01 Jan 2999 00:00:00 GMT", the older "Tuesday, 01-Jan-99
// 00:00:00 GMT" (a two-digit year more than 50 years ahead of `nowUtc` lies in the past
// century) and "Tue Jan  1 00:00:00 2999", or with a numeric zone ("+0000"). Invalid for
// anything else.
QDateTime httpDate(QByteArrayView text, const QDateTime& nowUtc);

// The wait the answer's Retry-After asks for, in seconds from `nowUtc` (seconds or a date;
// a date in the past is no wait); -1 when it asks for none.
double retryAfterSeconds(const QByteArray& rawHeaders, const QDateTime& nowUtc);

// The document time as libcurl reports it (seconds since 1970, -1 when none) as a UTC
// date-time; invalid when there is none or it lies beyond what a date-time can hold.
QDateTime lastModifiedFromFileTime(qint64 fileTime);

} // namespace gw
