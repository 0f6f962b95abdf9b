// The cloud map check on an 8192x4096 JPEG against a full decode of the same file (target: at
// most 0.1 of its time) and against `identify -ping`, which also reads only the header; all in
// the same run, alternating. Also the peak memory the check adds (target: under 20 MB).
// Usage: bench_cloudcheck [rounds, default 5]
#include "support/BenchSupport.h"

#include "net/CloudMapCheck.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace {

// The peak resident size so far (VmHWM), in kB.
long peakKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

template <typename F> double millis(F f)
{
    QElapsedTimer t;
    t.start();
    f();
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

// Cloud-like: soft bands and noise, so the JPEG has a realistic size.
bool makeMap(const QString& path)
{
    QImage map(8192, 4096, QImage::Format_RGB32);
    for (int y = 0; y < map.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(map.scanLine(y));
        for (int x = 0; x < map.width(); ++x) {
            const int v = ((x * 13 + y * 7) ^ (x * y >> 9)) & 0xff;
            row[x] = qRgb(v, v, v);
        }
    }
    return map.save(path, "JPEG", 85);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    // The map is made by a child run, so this process's peak memory stays the idle program's.
    if (argc > 2 && QByteArray(argv[1]) == "--make")
        return makeMap(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    const int rounds = argc > 1 ? QByteArray(argv[1]).toInt() : 5;
    QImageReader::setAllocationLimit(1024); // the full decode of the reference needs 128 MB
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("clouds_8192.jpg"));
    if (QProcess::execute(QCoreApplication::applicationFilePath(), { QStringLiteral("--make"), path }) != 0)
        return 1;
    std::printf("map: %lld bytes\n", static_cast<long long>(QFileInfo(path).size()));

    // Memory first, before a full decode raises the peak.
    const long idle = peakKb();
    QString problem = gw::cloudmap::problem(path);
    const long checkKb = peakKb() - idle;
    if (!problem.isEmpty()) {
        std::printf("the check refused the map: %s\n", qPrintable(problem));
        return 1;
    }

    std::vector<double> checks;
    const auto check = [&] {
        checks.push_back(millis([&] { problem = gw::cloudmap::problem(path); }));
        return checks.back();
    };
    QSize decoded;
    const auto decode = [&] { return millis([&] { decoded = QImage(path).size(); }); };
    QByteArray identified;
    const auto identify = [&] {
        return millis([&] {
            QProcess p;
            p.start(QStringLiteral("identify"),
                { QStringLiteral("-ping"), QStringLiteral("-format"), QStringLiteral("%wx%h"), path });
            p.waitForFinished(-1);
            identified = p.readAllStandardOutput();
        });
    };
    std::printf("round   check vs full decode\n");
    const double vsDecode = gwbench::median(gwbench::alternatingRatios(rounds, check, decode));
    std::printf("round   check vs identify -ping\n");
    const double vsIdentify = gwbench::median(gwbench::alternatingRatios(rounds, check, identify));
    const bool agree = problem.isEmpty() && decoded == QSize(8192, 4096) && identified == "8192x4096";
    std::printf("cloud map check of 8192x4096: %.3f ms; ratio to a full decode %.2g (target <= 0.1), to identify -ping "
                "%.2g; peak memory added %.1f MB (target < 20)%s\n",
        gwbench::median(checks), vsDecode, vsIdentify, checkKb / 1024.0, agree ? "" : "  RESULTS DIFFER");
    return agree && vsDecode <= 0.1 && checkKb < 20 * 1024 ? 0 : 1;
}
