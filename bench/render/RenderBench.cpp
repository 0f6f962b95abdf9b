// What a render through the shipped program costs over the same xplanet command run alone, at
// 1920x1080 and at 3840x2160: the program (a copy in a fresh folder, temporary HOME, a private
// session bus) runs on a private X server of that size with trayer as the notification area, and
// each round asks it for a render with the request "Globewall --render-now" passes on, written to
// its instance socket (support/ProgramRender.h). The
// reference is xplanet started with the round's own command line. Rounds alternate which goes
// first; the median ratio's target is at most 1.05. Also printed: the program's own CPU time
// during a render (the tray animation, the bookkeeping) against xplanet's (target: at most 2 %).
//
//   bench_render [rounds]      (default 9)
#include "support/BenchSupport.h"
#include "support/ProgramRender.h"
#include "support/ShippedProgram.h"
#include "support/XvfbFixture.h"

#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using gwbench::median;

// Renders only when asked, onto the root window, with nothing else due.
const char* const kSettings = "[Config]\nFile=/usr/bin/xplanet\nStart every x sec=0\nStart Minimized=1\n"
                              "Hide launched App=1\nCheck for new file=0\nCheck for updates every day=0\n"
                              "Download from HTTP=0\nServer to ping=#\nDesktop background=automatic\n";

int measureSize(int width, int height, int rounds, const QString& built)
{
    gwtest::XvfbServer xvfb;
    if (!xvfb.start(width, height)) {
        std::fprintf(stderr, "no X server: %s\n", qPrintable(xvfb.error()));
        return 1;
    }
    gwbench::SessionBus bus;
    if (!bus.start()) {
        std::fprintf(stderr, "no session bus\n");
        return 1;
    }
    gwbench::ShippedProgram copy(built);
    QFile ini(copy.file(QStringLiteral("bin/Globewall.ini")));
    if (!copy.copied() || !ini.open(QIODevice::WriteOnly) || ini.write(kSettings) < 0)
        return 1;
    ini.close();
    const QProcessEnvironment env = copy.environment(xvfb.display(), bus.address());
    QProcess trayer;
    trayer.setProcessEnvironment(env);
    trayer.setStandardOutputFile(QProcess::nullDevice());
    trayer.setStandardErrorFile(QProcess::nullDevice());
    trayer.start(QStringLiteral("trayer"),
        { QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--height"), QStringLiteral("24"),
            QStringLiteral("--widthtype"), QStringLiteral("request") });
    QProcess program;
    copy.start(program, xvfb.display(), bus.address());
    if (!program.waitForStarted(10000))
        return 1;
    QThread::sleep(3);

    // A first render makes the renderer folder and gives the command.
    gwbench::RenderRound last = gwbench::renderThroughProgram(copy, program, xvfb.display(), bus.address());
    if (!last.ok) {
        gwbench::stop(program);
        QFile out(copy.file(QStringLiteral("out.txt")));
        const QByteArray said = out.open(QIODevice::ReadOnly) ? out.readAll() : QByteArray();
        std::fprintf(stderr, "%dx%d: the program did not render; its output:\n%s\n", width, height, said.constData());
        return 1;
    }
    std::printf("%dx%d: %s\n", width, height, qPrintable(last.xplanet.join(QLatin1Char(' '))));
    std::vector<double> fromXplanet, programCpu, xplanetCpu;
    auto ours = [&] {
        const gwbench::RenderRound r = gwbench::renderThroughProgram(copy, program, xvfb.display(), bus.address());
        if (r.ok)
            last = r;
        fromXplanet.push_back(r.fromXplanetMs);
        programCpu.push_back(r.programCpuMs);
        xplanetCpu.push_back(r.xplanetCpuMs);
        return r.ok ? r.viaProgramMs : 1e9;
    };
    auto alone = [&] { return gwbench::xplanetAlone(last, copy.file(QStringLiteral("direct.png")), env); };
    std::printf("%-6s %14s %12s %8s\n", "round", "render-now", "xplanet", "ratio");
    const std::vector<double> ratios = gwbench::alternatingRatios(rounds, ours, alone);
    const double cpuShare = median(programCpu) / std::max(1.0, median(xplanetCpu));
    std::printf("%dx%d: median ratio render through the program / xplanet alone: %.3f (target <= 1.05); "
                "from xplanet's start %.1f ms\n",
        width, height, median(ratios), median(fromXplanet));
    std::printf("%dx%d: CPU during a render: program %.0f ms, its xplanet %.0f ms, share %.1f %% (target <= 2 %%)\n\n",
        width, height, median(programCpu), median(xplanetCpu), cpuShare * 100);
    std::fflush(stdout);
    gwbench::stop(program);
    gwbench::stop(trayer);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 9;
    const QString built = QStringLiteral(GW_BINARY_DIR "/src/app/Globewall");
    int result = 0;
    result |= measureSize(1920, 1080, rounds, built);
    result |= measureSize(3840, 2160, rounds, built);
    return result;
}
