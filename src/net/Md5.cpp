#include "net/Md5.h"

#include <QCryptographicHash>
#include <QFile>

namespace gw::md5 {

QString fileDigestHex(const QString& path)
{
    QFile file(path);
    QByteArray digest(16, '\0');
    if (file.open(QIODevice::ReadOnly)) {
        QCryptographicHash hash(QCryptographicHash::Md5);
        // Large reads keep the hashing as fast as the system's md5sum.
        QByteArray buffer(1024 * 1024, Qt::Uninitialized);
        for (;;) {
            const qint64 n = file.read(buffer.data(), buffer.size());
            if (n <= 0)
                break;
            hash.addData(QByteArrayView(buffer.constData(), n));
        }
        digest = hash.result();
    }
    return QString::fromLatin1(digest.toHex().toUpper());
}

QString checksumFileFor(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    QString result = dot > slash ? path.left(dot) + QStringLiteral(".md5") : path + QStringLiteral(".md5");
    if (result == path)
        result = path + QStringLiteral(".md5");
    return result;
}

QString expectedDigest(const QByteArray& firstLine)
{
    qsizetype begin = 0;
    qsizetype end = firstLine.size();
    auto cut = [&](qsizetype i) {
        const auto c = static_cast<unsigned char>(firstLine[i]);
        return c <= ' ' || c == 0x7f;
    };
    while (begin < end && cut(begin))
        ++begin;
    while (end > begin && cut(end - 1))
        --end;
    return QString::fromLatin1(firstLine.mid(begin, end - begin)).toUpper();
}

QByteArray readFirstLine(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray head = file.read(64 * 1024);
    qsizetype end = head.size();
    for (qsizetype i = 0; i < head.size(); ++i) {
        if (head[i] == '\r' || head[i] == '\n') {
            end = i;
            break;
        }
    }
    return head.left(end);
}

} // namespace gw::md5
