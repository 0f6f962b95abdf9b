// The MD5 hashing of VerifyMD5 against `md5sum` on the same file, alternating; prints the
// medians and their ratio (ours / md5sum's; the target is at most 1.10).
// Usage: bench_md5 [size in MiB, default 512] [runs, default 5]
#include "downloads/Md5.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const qint64 mib = argc > 1 ? QByteArray(argv[1]).toLongLong() : 512;
    const int runs = argc > 2 ? QByteArray(argv[2]).toInt() : 5;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.bin"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        QByteArray block(1024 * 1024, Qt::Uninitialized);
        for (qint64 m = 0; m < mib; ++m) {
            for (qsizetype i = 0; i < block.size(); ++i)
                block[i] = static_cast<char>((i * 7 + m) ^ (i >> 11));
            f.write(block);
        }
    }
    QString ourDigest;
    QByteArray theirOutput;
    std::vector<double> ours;
    std::vector<double> theirs;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        ourDigest = gw::md5::fileDigestHex(path);
        ours.push_back(static_cast<double>(t.nsecsElapsed()) / 1e9);

        t.start();
        QProcess p;
        p.start(QStringLiteral("md5sum"), { path });
        p.waitForFinished(-1);
        theirs.push_back(static_cast<double>(t.nsecsElapsed()) / 1e9);
        theirOutput = p.readAllStandardOutput();
    }
    const bool same = theirOutput.left(32).toUpper() == ourDigest.toLatin1();
    const double o = median(ours);
    const double m = median(theirs);
    std::printf("MD5 of %lld MiB, %d runs: ours %.3f s, md5sum %.3f s, ratio %.3f (target <= 1.10)%s\n",
        static_cast<long long>(mib), runs, o, m, o / m, same ? "" : "  DIGESTS DIFFER");
    return same ? 0 : 1;
}
