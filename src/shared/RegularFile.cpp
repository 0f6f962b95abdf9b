#include "shared/RegularFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace gw {

// Opened without blocking (a FIFO would wait for a writer) and checked on the open file, so
// what is read is the regular file that was checked.
ReadResult readRegularFile(const QString& path, qint64 limit, QByteArray* bytes, QString* why)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return ReadResult::Missing;
        *why = QString::fromLocal8Bit(std::strerror(errno));
        return ReadResult::Failed;
    }
    struct stat st = {};
    ReadResult result = ReadResult::Failed;
    const QString tooLarge = QStringLiteral("larger than %1 MB").arg(limit / (1024 * 1024));
    if (::fstat(fd, &st) != 0) {
        *why = QString::fromLocal8Bit(std::strerror(errno));
    } else if (!S_ISREG(st.st_mode)) {
        *why = QStringLiteral("not a regular file");
    } else if (st.st_size > limit) {
        *why = tooLarge;
    } else {
        // Read to the end, as the file may grow while it is read, but never beyond the limit.
        *why = tooLarge;
        QByteArray data;
        data.reserve(static_cast<qsizetype>(st.st_size));
        char chunk[65536];
        for (;;) {
            const ssize_t n = ::read(fd, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                *why = QString::fromLocal8Bit(std::strerror(errno));
                break;
            }
            if (n == 0) {
                *bytes = data;
                result = ReadResult::Read;
                break;
            }
            if (data.size() + n > limit)
                break;
            data.append(chunk, n);
        }
    }
    ::close(fd);
    return result;
}

} // namespace gw
