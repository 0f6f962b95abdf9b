#pragma once
// Feeds fetched by the shipped program from their built-in addresses and turned into marker
// files. lighttpd on loopback serves each feed at its address's path, beside a small cloud map
// (every check of all downloads asks after the map first); with lighttpd as the program's proxy
// the built-in addresses are served from loopback (support/ProgramDownload.h), and a reference
// tool asks for them through the same proxy.
#include "ServerProcess.h"
#include "support/ProgramDownload.h"

#include <QTemporaryDir>
#include <QUrl>

namespace gwbench {

// Writes `text` to `path`, making its folder on the way.
inline bool writeFile(const QString& path, const QByteArray& text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

// lighttpd serving the feeds, and the desktop the program copies run on.
class FeedSite
{
public:
    // `feeds`: each built-in address with what it serves. False, with the reason, when a part
    // did not start.
    bool start(const QList<std::pair<QString, QByteArray>>& feeds, QString* error)
    {
        bool written = writeCloudMap(m_www.filePath(QStringLiteral("clouds.jpg")), 4096);
        for (const auto& [address, content] : feeds)
            written = written && writeFile(m_www.filePath(QUrl(address).path().mid(1)), content);
        if (!written) {
            *error = QStringLiteral("cannot write the served files");
            return false;
        }
        if (!m_lighttpd.start()) {
            *error = QStringLiteral("no lighttpd: ") + m_lighttpd.error();
            return false;
        }
        if (!m_desktop.start(error)) {
            error->prepend(QStringLiteral("no desktop: "));
            return false;
        }
        return true;
    }

    const DownloadDesktop& desktop() const { return m_desktop; }
    const gwtest::LighttpdFixture& lighttpd() const { return m_lighttpd; }
    // lighttpd as a proxy, for a reference tool.
    QString proxy() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_lighttpd.port()); }

private:
    QTemporaryDir m_www;
    gwtest::LighttpdFixture m_lighttpd { m_www.path() };
    DownloadDesktop m_desktop;
};

// A copy of the program whose download list has one row: a feed's built-in address, saved
// under the name it ends in or `fileName`. The program writes the markers beside it
// ("quake.asc" gives "quake.marker").
class FeedDownload
{
public:
    FeedDownload(const FeedSite& site, const QString& built, const QString& address, const QString& fileName = {})
        : m_program(site.desktop(), built)
        , m_folder(m_program.folder(QStringLiteral("feeds")))
        , m_watch(m_folder)
        , m_feed(fileName.isEmpty() ? address.section(QLatin1Char('/'), -1) : fileName)
        , m_marker(m_feed.section(QLatin1Char('.'), 0, -2) + QStringLiteral(".marker"))
    {
        m_settings.cloudUrl = site.lighttpd().url(QStringLiteral("/clouds.jpg"));
        m_settings.cloudDestination = m_folder + QStringLiteral("/clouds.jpg");
        m_settings.proxyPort = site.lighttpd().port();
        m_settings.rows << std::pair<QString, QString> { address, feedFile() };
    }

    // Starts the copy and has it convert the feed once; that first check also fetches the cloud
    // map, so the rounds find it unchanged. False, with the reason, when either failed.
    bool start(QString* error)
    {
        if (!m_watch.ok() || !m_program.start(m_settings, error)) {
            error->prepend(QStringLiteral("the program did not start: "));
            return false;
        }
        if (round() < 0) {
            *error = QStringLiteral("no marker file\n") + QString::fromLocal8Bit(m_program.log());
            return false;
        }
        return true;
    }

    // Deletes the feed and its markers and asks for a check of all downloads; milliseconds
    // until the marker file is moved into place, or a negative number when it did not come.
    double round()
    {
        QFile::remove(feedFile());
        QFile::remove(markerFile());
        const double ms = m_program.checkAll(m_watch, m_marker);
        m_failed |= ms < 0;
        return ms;
    }

    QString feedFile() const { return m_folder + QLatin1Char('/') + m_feed; }
    QString markerFile() const { return m_folder + QLatin1Char('/') + m_marker; }
    // Whether a round failed, and the log's error lines: a benchmark gives no figures then.
    bool failed() const { return m_failed; }
    QByteArray errors() const { return errorLines(m_program.log()); }
    QProcessEnvironment environment() const { return m_program.environment(); }

private:
    DownloadingProgram m_program;
    QString m_folder;
    FolderWatch m_watch;
    QString m_feed;
    QString m_marker;
    DownloadSettings m_settings;
    bool m_failed = false;
};

} // namespace gwbench
