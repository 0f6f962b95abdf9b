#include "downloads/ResponseHeaders.h"

namespace gw {

namespace {
    QByteArrayView withoutLineEnd(QByteArrayView line)
    {
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        return line;
    }
} // namespace

void ResponseHeaders::addLine(QByteArrayView line)
{
    if (line.startsWith("HTTP/")) {
        // Each answer (a redirect, a proxy's tunnel reply, the final one) starts afresh,
        // so what is left at the end belongs to the last answer.
        m_statusLine = withoutLineEnd(line).trimmed().toByteArray();
        m_rawHeaders.clear();
        m_inHeaders = true;
    } else if (line.trimmed().isEmpty()) {
        m_inHeaders = false;
    } else if (m_inHeaders) {
        m_rawHeaders += withoutLineEnd(line);
        m_rawHeaders += "\r\n";
    }
}

QDateTime lastModifiedFromFileTime(qint64 fileTime)
{
    if (fileTime < 0)
        return QDateTime();
    return QDateTime::fromSecsSinceEpoch(fileTime, Qt::UTC);
}

} // namespace gw
