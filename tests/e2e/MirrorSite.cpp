#include "MirrorSite.h"

#include "ProgramCopy.h"
#include "TestPaths.h"

#include <QBuffer>
#include <QColor>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>

#include <unistd.h>

namespace gwe2e {

namespace {

    const QStringList kOrigins = { QStringLiteral("celestrak.org"), QStringLiteral("earthquake.usgs.gov"),
        QStringLiteral("clouds.matteason.co.uk") };

    bool writeText(const QString& path, const QByteArray& text)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text) == text.size();
    }

    QByteArray readText(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    bool run(const QString& program, const QStringList& arguments, const QString& folder, QString* error)
    {
        QProcess p;
        p.setWorkingDirectory(folder);
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(program, arguments);
        if (p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
            return true;
        *error = program + QLatin1Char(' ') + arguments.join(QLatin1Char(' ')) + QStringLiteral(": ")
            + QString::fromLocal8Bit(p.readAll());
        return false;
    }

    const QByteArray kQuakeFeed
        = "time,latitude,longitude,depth,mag,magType,nst,gap,dmin,rms,net,id,updated,place,type\n"
          "2026-12-09T05:10:00.000Z,38.1,142.9,30,5.8,mww,,,,,us,us7000abcd,"
          "2026-12-09T05:30:00.000Z,\"near the coast\",earthquake\n";
    const QByteArray kElements = "ISS (ZARYA)\n"
                                 "1 25544U 98067A   26342.50000000  .00016717  00000-0  10270-3 0  9005\n"
                                 "2 25544  51.6400 208.9163 0006317  69.9862  25.2906 15.50000000 10008\n";

    // A grey picture twice as wide as high: what the cloud map's check wants.
    QByteArray cloudMap()
    {
        QImage image(512, 256, QImage::Format_RGB32);
        image.fill(QColor(90, 90, 90));
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "JPEG");
        return jpeg;
    }

} // namespace

quint16 freeLoopbackPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

MirrorSite::MirrorSite(SatelliteAnswer satellites)
    : m_satellites(satellites)
{
}

MirrorSite::~MirrorSite()
{
    if (m_nginx.state() != QProcess::NotRunning) {
        m_nginx.terminate();
        if (!m_nginx.waitForFinished(10000)) {
            m_nginx.kill();
            m_nginx.waitForFinished(5000);
        }
    }
}

QString MirrorSite::issAddress()
{
    return QStringLiteral("https://celestrak.org/NORAD/elements/gp.php?CATNR=25544&FORMAT=TLE");
}

QString MirrorSite::quakeAddress()
{
    return QStringLiteral("https://earthquake.usgs.gov/earthquakes/feed/v1.0/summary/2.5_week.csv");
}

QString MirrorSite::cloudAddress()
{
    return QStringLiteral("https://clouds.matteason.co.uk/images/2048x1024/clouds.jpg");
}

QString MirrorSite::mirrorAddress() const
{
    return QStringLiteral("http://127.0.0.1:") + QString::number(m_mirrorPort);
}

bool MirrorSite::makeCertificates()
{
    const QString dir = m_dir.path();
    const QString openssl = QStringLiteral("openssl");
    QByteArray names;
    for (const QString& host : kOrigins)
        names += (names.isEmpty() ? "subjectAltName=DNS:" : ",DNS:") + host.toLatin1();
    return writeText(m_dir.file(QStringLiteral("origin.ext")), names + "\n")
        && run(openssl,
            { "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem", "-days", "2",
                "-subj", "/CN=Globewall test CA" },
            dir, &m_error)
        && run(openssl,
            { "req", "-newkey", "rsa:2048", "-nodes", "-keyout", "origin.key", "-out", "origin.csr", "-subj",
                "/CN=origins" },
            dir, &m_error)
        && run(openssl,
            { "x509", "-req", "-in", "origin.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial", "-out",
                "origin.pem", "-days", "2", "-extfile", "origin.ext" },
            dir, &m_error);
}

QString MirrorSite::originServer(const QString& host, quint16 port, const QString& locations) const
{
    return QStringLiteral("server {\n    listen 127.0.0.1:%1 ssl;\n    server_name %2;\n"
                          "    ssl_certificate %3/origin.pem;\n    ssl_certificate_key %3/origin.key;\n"
                          "    access_log %3/origin-%2.log origin;\n    root %3/www/%2;\n%4}\n")
        .arg(port)
        .arg(host, m_dir.path(), locations);
}

bool MirrorSite::writeConfiguration()
{
    QString recipe = QString::fromUtf8(readText(QStringLiteral(GW_SOURCE_DIR "/docs/deploy/globewall-mirror.conf")));
    if (recipe.isEmpty()) {
        m_error = QStringLiteral("the recipe's configuration is missing");
        return false;
    }
    // The recipe as the administrator copies it; only where it listens, keeps its cache and
    // finds the sources differs.
    m_mirrorPort = freeLoopbackPort();
    recipe.replace(QStringLiteral("listen 80;"), QStringLiteral("listen 127.0.0.1:%1;").arg(m_mirrorPort));
    recipe.replace(QStringLiteral("/var/cache/nginx/globewall"), m_dir.file(QStringLiteral("cache")));
    recipe.replace(QStringLiteral("/etc/ssl/certs/ca-certificates.crt"), m_dir.file(QStringLiteral("ca.pem")));
    recipe.replace(QStringLiteral("server_name mirror.school.lan;"),
        QStringLiteral("server_name mirror.school.lan;\n    access_log %1/mirror.log mirror;").arg(m_dir.path()));
    QString origins;
    for (const QString& host : kOrigins) {
        const quint16 port = freeLoopbackPort();
        recipe.replace(QStringLiteral("proxy_pass https://") + host + QStringLiteral("/;"),
            QStringLiteral("proxy_pass https://127.0.0.1:%1/;").arg(port));
        QString locations;
        if (host == kOrigins[0])
            locations = m_satellites == SatelliteAnswer::Elements
                ? QStringLiteral(
                    "    location = /NORAD/elements/gp.php { default_type text/plain; try_files /gp.txt =404; }\n")
                : QStringLiteral("    location = /NORAD/elements/gp.php { default_type text/plain;"
                                 " return 403 \"GP data has not updated since 2026-12-09 06:00:00 UTC\\n\"; }\n");
        origins += originServer(host, port, locations);
    }
    // Sources no test desktop asks: an address that answers nothing, so none is looked up.
    recipe.replace(QRegularExpression(QStringLiteral("proxy_pass https://[a-z.]+/;")),
        QStringLiteral("proxy_pass https://127.0.0.1:9/;"));
    const QString www = m_dir.file(QStringLiteral("www/"));
    const bool files = writeText(www + kOrigins[0] + QStringLiteral("/gp.txt"), kElements)
        && writeText(www + kOrigins[1] + QStringLiteral("/earthquakes/feed/v1.0/summary/2.5_week.csv"), kQuakeFeed)
        && writeText(www + kOrigins[2] + QStringLiteral("/images/2048x1024/clouds.jpg"), cloudMap());
    const QString temp = m_dir.file(QStringLiteral("temp"));
    QDir().mkpath(temp);
    QDir().mkpath(m_dir.file(QStringLiteral("cache")));
    const QString main
        = QStringLiteral("%1worker_processes 1;\ndaemon off;\npid %2/nginx.pid;\n"
                         "error_log %2/error.log warn;\nevents { worker_connections 512; }\nhttp {\n"
                         "    client_body_temp_path %3/body;\n    proxy_temp_path %3/proxy;\n"
                         "    fastcgi_temp_path %3/fastcgi;\n    uwsgi_temp_path %3/uwsgi;\n"
                         "    scgi_temp_path %3/scgi;\n"
                         "    log_format origin '$request_method $request_uri $status';\n"
                         "    log_format mirror '$status $upstream_cache_status $request';\n"
                         "    access_log off;\n    include %2/globewall-mirror.conf;\n%4}\n")
              .arg(geteuid() == 0 ? QStringLiteral("user root;\n") : QString(), m_dir.path(), temp, origins);
    return files && writeText(m_dir.file(QStringLiteral("globewall-mirror.conf")), recipe.toUtf8())
        && writeText(m_dir.file(QStringLiteral("nginx.conf")), main.toUtf8());
}

bool MirrorSite::start()
{
    if (!makeCertificates() || !writeConfiguration())
        return false;
    m_nginx.setProcessChannelMode(QProcess::MergedChannels);
    m_nginx.start(QStringLiteral("/usr/sbin/nginx"),
        { QStringLiteral("-e"), m_dir.file(QStringLiteral("error.log")), QStringLiteral("-p"), m_dir.path(),
            QStringLiteral("-c"), m_dir.file(QStringLiteral("nginx.conf")) });
    const bool listening = waitUntil(
        [this] {
            if (m_nginx.state() == QProcess::NotRunning)
                return true;
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, m_mirrorPort);
            return s.waitForConnected(200);
        },
        20000);
    if (!listening || m_nginx.state() == QProcess::NotRunning) {
        m_error = QStringLiteral("nginx did not start: ") + QString::fromLocal8Bit(m_nginx.readAll())
            + QString::fromLocal8Bit(readText(m_dir.file(QStringLiteral("error.log"))));
        return false;
    }
    return true;
}

int MirrorSite::originRequests(const QString& host, const QString& path) const
{
    int n = 0;
    const QList<QByteArray> lines
        = readText(m_dir.file(QStringLiteral("origin-") + host + QStringLiteral(".log"))).split('\n');
    for (const QByteArray& line : lines) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() >= 2 && parts[1].startsWith(path.toUtf8()))
            ++n;
    }
    return n;
}

QStringList MirrorSite::mirrorLog() const
{
    return QString::fromUtf8(readText(m_dir.file(QStringLiteral("mirror.log"))))
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool SiteDesktop::setUp(const QString& mirror) const
{
    const QDateTime now = QDateTime::currentDateTime();
    const QString c = QStringLiteral("Config"), d = QStringLiteral("Download"), t = QStringLiteral("Time");
    return copy->copied()
        && copy->editIni(
            { { c, QStringLiteral("Mirror"), mirror }, { c, QStringLiteral("Web Adress"), MirrorSite::cloudAddress() },
                { c, QStringLiteral("Destination"), clouds() },
                { c, QStringLiteral("Download from HTTP"), QStringLiteral("1") },
                { c, QStringLiteral("check MD5 of Cloudfile"), QStringLiteral("0") },
                { c, QStringLiteral("Start XPlanet after Download"), QStringLiteral("0") },
                { c, QStringLiteral("Start every x sec"), QStringLiteral("0") },
                { c, QStringLiteral("Check for new file"), QStringLiteral("0") },
                { c, QStringLiteral("Check for updates every day"), QStringLiteral("1") }, // the list download
                { c, QStringLiteral("Check extra downloads x times per day"), QStringLiteral("24") },
                { c, QStringLiteral("Transparent at Start"), QStringLiteral("0") },
                { c, QStringLiteral("Server to ping"), QStringLiteral("#") },
                { t, QStringLiteral("How often"), QStringLiteral("1") },
                { t, QStringLiteral("Time 0"), now.toString(QStringLiteral("hh:mm")) },
                { t, QStringLiteral("Time 1"), now.addSecs(60).toString(QStringLiteral("hh:mm")) },
                { d, QStringLiteral("0,1"), MirrorSite::issAddress() }, { d, QStringLiteral("1,1"), iss() },
                { d, QStringLiteral("0,2"), MirrorSite::quakeAddress() }, { d, QStringLiteral("1,2"), quakes() } });
}

QString SiteDesktop::log() const
{
    return QString::fromUtf8(readText(copy->programFile(QStringLiteral("Globewall.log"))));
}

bool SiteDesktop::hasFeeds() const
{
    return QFileInfo(iss()).size() > 0 && QFileInfo(quakes()).size() > 0 && QFileInfo(clouds()).size() > 0;
}

bool startDesktops(int count, const MirrorSite& site, std::vector<SiteDesktop>* desktops)
{
    desktops->clear();
    desktops->resize(count);
    for (const SiteDesktop& desk : *desktops)
        if (!desk.setUp(site.mirrorAddress()))
            return false;
    for (SiteDesktop& desk : *desktops)
        desk.copy->start(*desk.process);
    return true;
}

} // namespace gwe2e
