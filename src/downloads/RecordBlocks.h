#pragma once
// A text file read as blocks of whole records, so a list of any size is converted in little
// memory. A record ends at a line feed; with `quoted`, not at one inside double quotes (a CSV
// field may hold a line break). A block always begins at the start of a record.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

class QIODevice;

namespace gw::feeds {

class RecordBlocks
{
public:
    RecordBlocks(QIODevice& device, bool quoted);

    // The next block of whole records (the last one may lack its line feed); empty at the end.
    // False, with the reason, for a record longer than limits::maxRecordBytes.
    bool next(QByteArrayView* block, QString* error);

private:
    // Where the last whole record in m_buffer ends, or 0 when none does.
    qsizetype lastRecordEnd() const;

    QIODevice& m_device;
    const bool m_quoted;
    QByteArray m_buffer;
    qsizetype m_handedOut = 0;
    bool m_eof = false;
};

} // namespace gw::feeds
