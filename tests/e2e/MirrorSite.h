#pragma once
// A site's mirror as DEPLOYING.md sets it up, on loopback: Debian's nginx with the recipe's
// configuration (docs/deploy/globewall-mirror.conf, only its addresses changed) in front of
// https origins that stand in for the satellite site, the earthquake feeds and the live cloud
// maps. The origins are nginx server blocks with certificates of a test CA made here with
// openssl; the mirror trusts that CA only. Each origin keeps its own access log, so a test
// counts the requests that reached it.
#include "ProgramCopy.h"
#include "support/TempDir.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace gwe2e {

class MirrorSite
{
public:
    enum class SatelliteAnswer { Elements, NotUpdated }; // NotUpdated: CelesTrak's 403 to every request

    explicit MirrorSite(SatelliteAnswer satellites = SatelliteAnswer::Elements);
    ~MirrorSite();
    MirrorSite(const MirrorSite&) = delete;
    MirrorSite& operator=(const MirrorSite&) = delete;

    // Makes the CA, the configuration and starts nginx; false with error() saying why.
    bool start();
    QString error() const { return m_error; }
    // What a desktop sets as "Mirror".
    QString mirrorAddress() const;

    // The built-in addresses the desktops fetch, as the program knows them.
    static QString issAddress();
    static QString quakeAddress();
    static QString cloudAddress();

    // Requests that reached the origin of `host` ("celestrak.org", ...) for paths starting with
    // `path`, by its access log.
    int originRequests(const QString& host, const QString& path) const;
    // The mirror's access log: "<status> <cache status> <request line>" per line.
    QStringList mirrorLog() const;

private:
    bool makeCertificates();
    bool writeConfiguration();
    QString originServer(const QString& host, quint16 port, const QString& locations) const;

    SatelliteAnswer m_satellites;
    gwtest::TempDir m_dir;
    QProcess m_nginx;
    quint16 m_mirrorPort = 0;
    QString m_error;
};

// A desktop of the site: a copy of the program with its own home, the mirror set, the
// station's elements and the earthquakes in the list, the live cloud map at a fixed time of
// this minute, nothing else that talks to the net.
struct SiteDesktop
{
    std::unique_ptr<ProgramCopy> copy = std::make_unique<ProgramCopy>();
    std::unique_ptr<QProcess> process = std::make_unique<QProcess>();

    bool setUp(const QString& mirror) const;
    QString iss() const { return copy->root() + QStringLiteral("/iss.tle"); }
    QString quakes() const { return copy->root() + QStringLiteral("/quakes.csv"); }
    QString clouds() const { return copy->root() + QStringLiteral("/clouds.jpg"); }
    QString log() const;
    // All three files have arrived.
    bool hasFeeds() const;
};

// `count` desktops set up, then started together; false when one could not be set up.
bool startDesktops(int count, const MirrorSite& site, std::vector<SiteDesktop>* desktops);

// An unused TCP port on loopback at the moment of the call.
quint16 freeLoopbackPort();

} // namespace gwe2e
