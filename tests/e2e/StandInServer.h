#pragma once
// The built-in web hosts, stood in for on loopback. The program reaches them through its
// proxy setting: a request for "http://<any host>/clouds_2000.jpg" arrives here with the
// whole address and is answered by its path. It serves a cloud map drawn for the test with
// its real MD5 sum, the earthquake list, the TLE list and the update information.
#include "HttpFaultServer.h"

#include <QByteArray>
#include <QString>

#include <atomic>

namespace gwe2e {

// A cloud map as the renderer expects one: a 2:1 grey picture, white clouds on black, JPEG.
// The same seed gives the same bytes.
QByteArray drawCloudMap(int width, quint32 seed);

// Upper-case hexadecimal MD5 digest, as the program writes it.
QByteArray md5Hex(const QByteArray& bytes);

class StandInServer
{
public:
    StandInServer();

    bool start();
    quint16 port() const { return m_server.port(); }

    // The files served; the cloud map may be replaced between requests.
    void setCloudMap(const QByteArray& jpeg);
    QByteArray cloudMap() const;
    QByteArray quakeList() const { return m_quake; }
    QByteArray tleList() const { return m_tle; }

    // Sends the cloud map in pieces over about `ms` milliseconds instead of at once.
    void setCloudDelay(int ms) { m_cloudDelayMs = ms; }
    // Number of cloud map bodies requested so far (GET, not HEAD).
    int cloudGets() const { return m_cloudGets.load(); }

    int count(const QByteArray& path) const { return m_server.count(path); }
    QList<gwtest::SeenRequest> requests() const { return m_server.requests(); }

private:
    void serveCloud(gwtest::HttpFaultServer::Exchange& e);

    gwtest::HttpFaultServer m_server;
    mutable std::mutex m_mutex;
    QByteArray m_cloud;
    QByteArray m_quake;
    QByteArray m_tle;
    QByteArray m_updates;
    std::atomic<int> m_cloudDelayMs { 0 };
    std::atomic<int> m_cloudGets { 0 };
};

} // namespace gwe2e
