#include "feeds/RecordBlocks.h"

#include "feeds/FeedConversion.h"

#include <QIODevice>

namespace gw::feeds {

namespace {

    constexpr qint64 kChunk = 1024 * 1024;

    // Where the last whole record in `buffer` ends, or 0 when none does.
    qsizetype lastRecordEnd(QByteArrayView buffer, bool quoted)
    {
        if (!quoted)
            return buffer.lastIndexOf('\n') + 1;
        // Doubled quotes inside a field keep the count even: a line feed after an even number of
        // quotes is outside any field.
        qsizetype last = 0;
        bool inside = false;
        for (qsizetype i = 0; i < buffer.size(); ++i) {
            if (buffer[i] == '"')
                inside = !inside;
            else if (buffer[i] == '\n' && !inside)
                last = i + 1;
        }
        return last;
    }

} // namespace

bool readRecordBlocks(
    QIODevice& device, bool quoted, Conversion& c, const std::function<bool(QByteArrayView block)>& block)
{
    QByteArray buffer;
    for (;;) {
        const qsizetype kept = buffer.size();
        buffer.resize(kept + kChunk);
        const qint64 got = device.read(buffer.data() + kept, kChunk);
        buffer.resize(kept + std::max<qint64>(got, 0));
        if (got <= 0)
            return buffer.isEmpty() || block(buffer); // the last record may lack its line feed
        const qsizetype end = lastRecordEnd(buffer, quoted);
        if (end > 0) {
            if (!block(QByteArrayView(buffer).first(end)))
                return false;
            buffer.remove(0, end);
        } else if (buffer.size() > limits::maxRecordBytes) {
            return c.fail(QStringLiteral("a record longer than %1 bytes").arg(limits::maxRecordBytes));
        }
    }
}

} // namespace gw::feeds
