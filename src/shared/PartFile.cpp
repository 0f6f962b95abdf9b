#include "shared/PartFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace gw {

namespace {

    constexpr int kRandomLength = 6;
    const QString kSuffix = QStringLiteral(".part");

    QString randomText()
    {
        static const char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        QString text;
        for (int i = 0; i < kRandomLength; ++i)
            text += QLatin1Char(alphabet[QRandomGenerator::global()->bounded(int(sizeof alphabet - 1))]);
        return text;
    }

} // namespace

PartFile::PartFile(const QString& destination)
    : m_destination(destination)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString candidate = destination + QLatin1Char('.') + randomText() + kSuffix;
        // O_EXCL fails on any existing name, a link included; the mode follows the umask like
        // any new file of the user.
        const int fd = ::open(
            QFile::encodeName(candidate).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return;
        }
        if (!m_file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
            ::close(fd);
            ::unlink(QFile::encodeName(candidate).constData());
            return;
        }
        m_path = candidate;
        return;
    }
}

PartFile::~PartFile()
{
    if (m_file.isOpen())
        m_file.close();
    if (!m_placed && !m_path.isEmpty())
        ::unlink(QFile::encodeName(m_path).constData());
}

bool PartFile::replaceDestination()
{
    if (m_path.isEmpty())
        return false;
    m_file.close();
    // rename() replaces the previous copy atomically, and a link at the destination's name is
    // replaced itself, never followed.
    m_placed = std::rename(QFile::encodeName(m_path).constData(), QFile::encodeName(m_destination).constData()) == 0;
    return m_placed;
}

bool PartFile::isPartNameOf(const QString& fileName, const QString& destinationName)
{
    const qsizetype length = destinationName.size() + 1 + kRandomLength + kSuffix.size();
    if (fileName.size() != length || !fileName.startsWith(destinationName + QLatin1Char('.'))
        || !fileName.endsWith(kSuffix))
        return false;
    for (qsizetype i = destinationName.size() + 1; i < destinationName.size() + 1 + kRandomLength; ++i) {
        const QChar c = fileName.at(i);
        if (!(c.isLetterOrNumber() && c.unicode() < 128))
            return false;
    }
    return true;
}

void PartFile::removeLeftovers(const QString& destination)
{
    const QFileInfo info(destination);
    const QString name = info.fileName();
    if (name.isEmpty())
        return;
    QDir folder = info.dir();
    const QStringList entries = folder.entryList(QDir::Files | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        if (entry == name + kSuffix || isPartNameOf(entry, name))
            ::unlink(QFile::encodeName(folder.filePath(entry)).constData());
    }
}

} // namespace gw
