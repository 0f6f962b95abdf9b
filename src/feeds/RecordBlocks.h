#pragma once
// A text file read as blocks of whole records, so a list of any size is converted in little
// memory. A record ends at a line feed; with `quoted`, not at one inside double quotes (a CSV
// field may hold a line break). A block always begins at the start of a record.
#include <QByteArrayView>

#include <functional>

class QIODevice;

namespace gw::feeds {

struct Conversion;

// Hands each block of whole records (the last one may lack its line feed) to `block`, which
// returns false to stop. False on a stop, or with the reason in `c` for a record longer than
// limits::maxRecordBytes.
bool readRecordBlocks(
    QIODevice& device, bool quoted, Conversion& c, const std::function<bool(QByteArrayView block)>& block);

} // namespace gw::feeds
