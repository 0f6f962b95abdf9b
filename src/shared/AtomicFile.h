#pragma once
#include <QByteArray>
#include <QString>

namespace gw {

// Replaces `path` with `content` through a temporary file in the same folder and a rename,
// so a crash or a full disk leaves either the old or the new file, never a torn one.
// A new file is readable by its owner only; an existing file keeps its permissions.
// When `path` is a symbolic link of this user, the file it points to is replaced and the link
// stays. A link of another user (planted in a folder others can write to, such as /tmp) is
// never followed: the write is refused, and `error` says so.
// `Flush::Skip` leaves out the wait for the disk before the rename: for scratch files that
// nothing reads back after a crash, where the wait (about a millisecond) buys nothing.
enum class Flush { ToDisk, Skip };
bool writeFileAtomically(const QString& path, const QByteArray& content, QString* error, Flush flush = Flush::ToDisk);

// Adds `content` to the end of the log file at `path`, made private when missing. A link or
// anything but a regular file of this user at `path` is refused, never written through.
bool appendToOwnFile(const QString& path, const QByteArray& content, QString* error);

// Why the link at `path` must not be followed (it belongs to another user); empty when
// `path` is no link or one of this user.
QString foreignLinkProblem(const QString& path);

} // namespace gw
