#include "FuzzSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>

namespace gwfuzz {

void fail(const char* file, int line, const char* what)
{
    std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, what);
    std::abort();
}

QByteArray bytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

QByteArray takeBytes(FuzzedDataProvider& in, size_t maxLength)
{
    const std::string s = in.ConsumeRandomLengthString(maxLength);
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

QString takeText(FuzzedDataProvider& in, size_t maxLength)
{
    return QString::fromUtf8(takeBytes(in, maxLength));
}

QString restText(FuzzedDataProvider& in)
{
    const std::string s = in.ConsumeRemainingBytesAsString();
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QString scratchDir()
{
    static const std::unique_ptr<QTemporaryDir> dir = [] {
        const QString base
            = QDir(QStringLiteral("/dev/shm")).isReadable() ? QStringLiteral("/dev/shm") : QDir::tempPath();
        auto d = std::make_unique<QTemporaryDir>(base + QStringLiteral("/globewall-fuzz-XXXXXX"));
        if (!d->isValid())
            fail(__FILE__, __LINE__, "no scratch folder");
        return d;
    }();
    return dir->path();
}

QString writeScratch(const QString& name, const QByteArray& content)
{
    const QString path = scratchDir() + QLatin1Char('/') + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size())
        fail(__FILE__, __LINE__, "cannot write the scratch file");
    return path;
}

} // namespace gwfuzz

// Quiet Qt's own warnings (they would flood the fuzzer's output) and fix the time zone, so a
// failure found on one machine repeats on another. One with summer time, so the hour that
// repeats each autumn is in reach.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    return 0;
}
