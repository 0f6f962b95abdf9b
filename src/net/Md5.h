#pragma once
// The MD5 check of a downloaded file against a published checksum file.
#include <QString>

namespace gw::md5 {

// The MD5 digest of the file's whole content in 32 upper-case hex digits; the digest of
// 16 zero bytes when the file cannot be read.
QString fileDigestHex(const QString& path);

// The checksum file fetched for `path`: its extension replaced by ".md5", or ".md5" appended
// when the name has none. Never `path` itself, so a file named "*.md5" is not overwritten.
QString checksumFileFor(const QString& path);

// The expected digest from a checksum file's first line: blanks and control characters cut
// from both ends, upper case.
QString expectedDigest(const QByteArray& firstLine);

// The first line of a file (up to CR or LF), empty when it cannot be read.
QByteArray readFirstLine(const QString& path);

} // namespace gw::md5
