#include "downloads/RecordBlocks.h"

#include "downloads/FeedConversion.h"

#include <QIODevice>

#include <cstring>

namespace gw::feeds {

namespace {
    constexpr qint64 kChunk = 1024 * 1024;
}

RecordBlocks::RecordBlocks(QIODevice& device, bool quoted)
    : m_device(device)
    , m_quoted(quoted)
{
}

qsizetype RecordBlocks::lastRecordEnd() const
{
    const char* const begin = m_buffer.constData();
    const char* const end = begin + m_buffer.size();
    if (!m_quoted) {
        const char* p = end;
        while (p > begin && p[-1] != '\n')
            --p;
        return p - begin;
    }
    // Doubled quotes inside a field keep the count even: a line feed after an even number of
    // quotes is outside any field.
    qsizetype last = 0;
    bool inside = false;
    for (const char* p = begin; p < end; ++p) {
        if (*p == '"')
            inside = !inside;
        else if (*p == '\n' && !inside)
            last = p + 1 - begin;
    }
    return last;
}

bool RecordBlocks::next(QByteArrayView* block, QString* error)
{
    m_buffer.remove(0, m_handedOut);
    m_handedOut = 0;
    for (;;) {
        if (m_eof) {
            m_handedOut = m_buffer.size();
            *block = m_buffer;
            return true;
        }
        const qsizetype kept = m_buffer.size();
        m_buffer.resize(kept + kChunk);
        const qint64 got = m_device.read(m_buffer.data() + kept, kChunk);
        m_buffer.resize(kept + std::max<qint64>(got, 0));
        if (got <= 0) {
            m_eof = true;
            continue;
        }
        const qsizetype end = lastRecordEnd();
        if (end > 0) {
            m_handedOut = end;
            *block = QByteArrayView(m_buffer).first(end);
            return true;
        }
        if (m_buffer.size() > limits::maxRecordBytes) {
            *error = QStringLiteral("a record longer than %1 bytes").arg(limits::maxRecordBytes);
            return false;
        }
    }
}

} // namespace gw::feeds
