#pragma once
#include <QByteArray>
#include <QString>

namespace gw {

enum class ReadResult { Missing, Read, Failed };

// Reads a file that the user or another program may have replaced by something else: only a
// regular file is read (a FIFO would block, a device never end), and never more than `limit`
// bytes. On Failed, `why` says what was wrong.
ReadResult readRegularFile(const QString& path, qint64 limit, QByteArray* bytes, QString* why);

} // namespace gw
