// Runs the reachability test once against the host in argv[1], so a test can run it as an
// unprivileged user. Prints the method used; exits 0 on a reply, 1 without one, 2 on an error.
#include "net/Ping.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 3;
    gw::Pinger pinger;
    const gw::PingResult r = pinger.ping(QString::fromLocal8Bit(argv[1]), 5000);
    std::printf("%s\n%s\n", qPrintable(gw::pingMethodName(pinger.lastMethod())), qPrintable(pinger.lastError()));
    return r == gw::PingResult::Reply ? 0 : r == gw::PingResult::NoReply ? 1 : 2;
}
