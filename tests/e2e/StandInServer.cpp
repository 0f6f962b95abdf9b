#include "StandInServer.h"

#include "support/TempDir.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QImage>
#include <QPainter>
#include <QRadialGradient>
#include <QRandomGenerator>

namespace gwe2e {

namespace {
    // Every file has a date, so the freshness check can record it.
    const QByteArray kLastModified = "Last-Modified: Sat, 05 Dec 2026 06:00:00 GMT";
} // namespace

QByteArray drawCloudMap(int width, quint32 seed)
{
    QImage image(width, width / 2, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    QRandomGenerator random(seed);
    const double scale = width / 2048.0;
    // Bands of soft white blobs: storms along the tropics and the westerlies, fewer elsewhere.
    for (int i = 0; i < 900; ++i) {
        const double x = random.bounded(width);
        const double band = random.bounded(3);
        const double centre = band < 1 ? 0.25 : band < 2 ? 0.5 : 0.75;
        const double y = (centre + (random.generateDouble() - 0.5) * 0.3) * image.height();
        const double r = (12 + random.bounded(50)) * scale;
        QRadialGradient g(QPointF(x, y), r);
        const int peak = 150 + random.bounded(105);
        g.setColorAt(0, QColor(peak, peak, peak, 200));
        g.setColorAt(1, QColor(255, 255, 255, 0));
        p.setBrush(g);
        p.drawEllipse(QPointF(x, y), r * 1.6, r);
    }
    p.end();
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.convertToFormat(QImage::Format_Grayscale8).save(&buffer, "JPG", 85);
    return jpeg;
}

QByteArray md5Hex(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex().toUpper();
}

StandInServer::StandInServer()
    : m_quake(gwtest::readFile(gwtest::testData(QStringLiteral("e2e/quake.asc"))))
    , m_tle(gwtest::readFile(gwtest::testData(QStringLiteral("jobs/stations.txt"))))
    , m_updates(gwtest::readFile(gwtest::testData(QStringLiteral("e2e/updates.ini"))))
{
}

bool StandInServer::start()
{
    if (m_quake.isEmpty() || m_tle.isEmpty() || m_updates.isEmpty())
        return false;
    using Exchange = gwtest::HttpFaultServer::Exchange;
    m_server.route("/clouds_2000.jpg", [this](Exchange& e) { serveCloud(e); });
    m_server.route("/md5sum", [this](Exchange& e) {
        // The digest alone on the first line, as the program reads it.
        e.respond("HTTP/1.1 200 OK", md5Hex(cloudMap()) + "\n", { kLastModified });
    });
    m_server.route(
        "/neis/finger/quake.asc", gwtest::HttpFaultServer::answer("HTTP/1.1 200 OK", m_quake, { kLastModified }));
    m_server.route(
        "/NORAD/elements/stations.txt", gwtest::HttpFaultServer::answer("HTTP/1.1 200 OK", m_tle, { kLastModified }));
    m_server.route(
        "/soft/updates.ini", gwtest::HttpFaultServer::answer("HTTP/1.1 200 OK", m_updates, { kLastModified }));
    return m_server.start();
}

void StandInServer::setCloudMap(const QByteArray& jpeg)
{
    std::lock_guard lock(m_mutex);
    m_cloud = jpeg;
}

QByteArray StandInServer::cloudMap() const
{
    std::lock_guard lock(m_mutex);
    return m_cloud;
}

void StandInServer::serveCloud(gwtest::HttpFaultServer::Exchange& e)
{
    const QByteArray body = cloudMap();
    const int delay = m_cloudDelayMs.load();
    if (e.request.method != "GET" || delay <= 0) {
        if (e.request.method == "GET")
            ++m_cloudGets;
        e.respond("HTTP/1.1 200 OK", body, { kLastModified });
        return;
    }
    ++m_cloudGets;
    e.send("HTTP/1.1 200 OK\r\n" + kLastModified + "\r\nContent-Length: " + QByteArray::number(body.size())
        + "\r\nConnection: close\r\n\r\n");
    // Forty pieces spread over the delay; a client that went away makes the rest fail at once.
    const int pieces = 40;
    const qsizetype step = (body.size() + pieces - 1) / pieces;
    for (qsizetype at = 0; at < body.size(); at += step) {
        e.send(body.mid(at, step));
        e.stall(delay / pieces);
    }
}

} // namespace gwe2e
