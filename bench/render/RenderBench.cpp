// How much a render through StartXPlanet costs over starting the same xplanet command
// directly. Both run in the same process, alternating which goes first, on a private X
// server; the table shows each round and the median ratio (target: at most 1.10).
//
//   bench_render [rounds]
#include "support/BenchSupport.h"
#include "renderer/CommandLine.h"
#include "renderer/RenderControl.h"
#include "settings/MemorySettings.h"
#include "shared/AppState.h"
#include "shared/Clock.h"
#include "support/ScriptedDialogs.h"
#include "shared/LogSink.h"
#include "shared/TrayImage.h"
#include "support/XvfbFixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using gwbench::median;
using gwbench::QuietTray;

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 15;

    gwtest::XvfbServer xvfb;
    if (!xvfb.start()) {
        std::fprintf(stderr, "no X server: %s\n", qPrintable(xvfb.error()));
        return 1;
    }
    QTemporaryDir home;
    qputenv("DISPLAY", xvfb.display().toLocal8Bit());
    qputenv("HOME", home.path().toLocal8Bit());

    gw::MemorySettings settings;
    settings.setText("edtAppFile", "/usr/bin/xplanet");
    settings.setText("ddbViewBody", "earth");
    gw::AppState state;
    gw::MemoryLog log;
    gw::MemoryMessageWindow messages;
    gw::ScriptedDialogs dialogs;
    QuietTray tray;
    gw::SystemClock clock;
    gw::RenderControl render(settings, state, log, messages, dialogs, tray, clock);
    render.setHome(home.path());

    // One render first: it creates the renderer folder and gives the arguments.
    render.StartXPlanet();
    const QStringList params = render.launcher().ExeParams();
    const QStringList args = gw::splitArguments(params.join(' '));
    const QString folder = render.layout().rendererFolder();

    auto timeRender = [&] {
        QElapsedTimer t;
        t.start();
        render.StartXPlanet();
        return t.nsecsElapsed() / 1e6;
    };
    auto timeDirect = [&] {
        QElapsedTimer t;
        t.start();
        QProcess xplanet;
        xplanet.setWorkingDirectory(folder);
        xplanet.setProcessChannelMode(QProcess::MergedChannels);
        xplanet.start("/usr/bin/xplanet", args);
        xplanet.waitForFinished(-1);
        xplanet.readAll();
        return t.nsecsElapsed() / 1e6;
    };

    std::printf("%-6s %14s %12s %8s\n", "round", "StartXPlanet", "direct", "ratio");
    const std::vector<double> ratios = gwbench::alternatingRatios(rounds, timeRender, timeDirect);
    std::printf("median ratio StartXPlanet / direct: %.3f (target <= 1.10)\n", median(ratios));
    return 0;
}
