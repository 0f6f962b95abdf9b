#pragma once
// What a transfer keeps of the header lines libcurl hands over one at a time: the status line
// and the header lines of the last answer (after redirects and a proxy's tunnel reply), and the
// document time libcurl read from Last-Modified.
#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>

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

// The document time as libcurl reports it (seconds since 1970, -1 when none) as a UTC
// date-time; invalid when there is none or it lies beyond what a date-time can hold.
QDateTime lastModifiedFromFileTime(qint64 fileTime);

} // namespace gw
