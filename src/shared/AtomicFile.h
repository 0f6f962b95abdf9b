#pragma once
#include <QByteArray>
#include <QString>

namespace gw {

// Replaces `path` with `content` through a temporary file in the same folder and a rename,
// so a crash or a full disk leaves either the old or the new file, never a torn one.
// A new file is readable by its owner only; an existing file keeps its permissions.
// When `path` is a symbolic link, the file it points to is replaced and the link stays.
// `Flush::Skip` leaves out the wait for the disk before the rename: for scratch files that
// nothing reads back after a crash, where the wait (about a millisecond) buys nothing.
enum class Flush { ToDisk, Skip };
bool writeFileAtomically(const QString& path, const QByteArray& content, QString* error, Flush flush = Flush::ToDisk);

} // namespace gw
