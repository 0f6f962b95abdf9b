// Twenty copies of the shipped program started together through the site's mirror, against one
// copy alone through a mirror of its own: the requests that reach each source (target 1 per
// source), and the time until every copy has its feeds.
//   bench_mirror [copies]
#include "MirrorSite.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace gwe2e;

namespace {

struct Run
{
    double seconds = -1; // until every copy has its feeds; -1: not within the limit
    int elements = 0, quakes = 0, clouds = 0; // requests at the origins
};

Run runCopies(int count)
{
    Run run;
    MirrorSite site;
    if (!site.start()) {
        std::fprintf(stderr, "%s\n", qPrintable(site.error()));
        return run;
    }
    std::vector<SiteDesktop> desks;
    QElapsedTimer timer;
    timer.start();
    if (!startDesktops(count, site, &desks))
        return run;
    const bool fed = waitUntil(
        [&] {
            for (const SiteDesktop& d : desks)
                if (!d.hasFeeds())
                    return false;
            return true;
        },
        400000, 100);
    if (fed)
        run.seconds = timer.elapsed() / 1000.0;
    for (SiteDesktop& d : desks)
        stopProcess(*d.process);
    run.elements = site.originRequests(QStringLiteral("celestrak.org"), QStringLiteral("/NORAD/elements/gp.php"));
    run.quakes = site.originRequests(QStringLiteral("earthquake.usgs.gov"), QStringLiteral("/earthquakes/"));
    run.clouds = site.originRequests(QStringLiteral("clouds.matteason.co.uk"), QStringLiteral("/images/"));
    std::printf("%d copies: fed in %.1f s; requests at the origins: elements %d, earthquakes %d, cloud map %d\n", count,
        run.seconds, run.elements, run.quakes, run.clouds);
    std::fflush(stdout);
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int copies = argc > 1 ? std::max(2, std::atoi(argv[1])) : 20;
    const Run alone = runCopies(1);
    const Run room = runCopies(copies);
    if (alone.seconds <= 0 || room.seconds <= 0)
        return 1;
    std::printf("mirror: %d copies, most requests per source at an origin %d; all fed in %.1f s, one copy alone "
                "%.1f s, ratio %.3f\n",
        copies, std::max({ room.elements, room.quakes, room.clouds }), room.seconds, alone.seconds,
        room.seconds / alone.seconds);
    return std::max({ room.elements, room.quakes, room.clouds }) == 1 ? 0 : 1;
}
