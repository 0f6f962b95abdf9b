#pragma once
// The download jobs wired to a real engine, a lighttpd on loopback that serves the built-in
// addresses (cloud map with its checksum, earthquake list, TLE list), a renderer folder in a
// temporary home, and actions that count their calls.
#include "ServerProcess.h"
#include "net/DownloadRig.h"

#include "downloads/DownloadJobs.h"
#include "net/Md5.h"
#include "renderer/RendererLayout.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace gwtest {

// Every built-in host pointed at one server for the life of a test.
class AllHostsOverride
{
public:
    explicit AllHostsOverride(const QString& host)
        : m_saved(gw::endpoints::hosts())
    {
        gw::endpoints::hosts().renderer = host;
        gw::endpoints::hosts().quake = host;
        gw::endpoints::hosts().tle = host;
    }
    ~AllHostsOverride() { gw::endpoints::hosts() = m_saved; }
    AllHostsOverride(const AllHostsOverride&) = delete;
    AllHostsOverride& operator=(const AllHostsOverride&) = delete;

private:
    gw::endpoints::Hosts m_saved;
};

// What the jobs started elsewhere.
struct JobCalls
{
    int renders = 0;
    int syncs = 0;
    QStringList executed;
    QStringList satelliteFiles;
    QStringList browsed;
};

inline void setModified(const QString& path, const QDateTime& when)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite)) << path.toStdString();
    ASSERT_TRUE(f.setFileTime(when, QFileDevice::FileModificationTime)) << path.toStdString();
}

struct JobsRig : DownloadRig
{
    // The server's copies, dated in the past so their Last-Modified is fixed.
    static inline const QDateTime ServerDate { QDate(2024, 3, 1), QTime(6, 0, 0), Qt::UTC };
    static inline const QByteArray CloudMap = jpegOfSize(2048, 1024);

    TempDir www;
    TempDir home;
    LighttpdFixture server { www.path() };
    std::unique_ptr<AllHostsOverride> hosts;
    JobCalls calls;
    bool settingsLoaded = true;
    std::function<void(const QString&)> onExecute; // runs after the call is counted
    gw::RendererLayout layout { QString(), home.path() };
    gw::DownloadJobs jobs { settings, state, log, dialogs, clock, engine, actions() };

    JobsRig()
    {
        jobs.setHome(home.path());
        layout.ensureFolders();
        serve("clouds_2000.jpg", CloudMap);
        writeMd5(CloudMap);
        serve("neis/finger/quake.asc", readFile(testData("jobs/quake.asc")));
        serve("NEIS/finger/quake.asc", readFile(testData("jobs/quake.asc")));
        serve("NORAD/elements/stations.txt", readFile(testData("jobs/stations.txt")));
        if (!server.start())
            ADD_FAILURE() << server.error().toStdString();
        hosts = std::make_unique<AllHostsOverride>(server.url(QString()));

        settings.setText("PingServer", "127.0.0.1");
        settings.setText("edtWebAdress", gw::endpoints::cloudMap());
        settings.setText("edtFileDestination", cloudFile());
        settings.setChecked("cbStartAfterDownload", true);
        settings.setChecked("cbAdjustTime", true);
        settings.setChecked("cbExecuteFileAfterDownload", true);
        settings.setText("edtExecuteFileAfterDownload", home.write("after.sh", "#!/bin/sh\n"));
        setRow(1, gw::endpoints::quakeList(), quakeFile());
        setRow(2, gw::endpoints::tleList(), tleFile());
    }

    gw::DownloadJobs::Actions actions()
    {
        gw::DownloadJobs::Actions a;
        a.startXPlanet = [this] { ++calls.renders; };
        a.executeFile = [this](const QString& f) {
            calls.executed << f;
            if (onExecute)
                onExecute(f);
        };
        a.generateSatFile = [this](const QString& f) { calls.satelliteFiles << f; };
        a.synchronizeTime = [this] { ++calls.syncs; };
        a.openBrowser = [this](const QString& url) { calls.browsed << url; };
        a.settingsLoaded = [this] { return settingsLoaded; };
        return a;
    }

    // A file on the server, dated ServerDate.
    void serve(const QString& path, const QByteArray& content, const QDateTime& date = ServerDate)
    {
        QDir().mkpath(QFileInfo(www.file(path)).path());
        writeFile(www.file(path), content);
        setModified(www.file(path), date);
    }
    void writeMd5(const QByteArray& content)
    {
        // Lower case with a line break, as the published file has it.
        const QString copy = www.write("md5source", content);
        serve("md5sum", gw::md5::fileDigestHex(copy).toLower().toLatin1() + "\n");
    }

    void setRow(int row, const QString& source, const QString& destination)
    {
        settings.setCell("sgDownloadFiles", 0, row, source);
        settings.setCell("sgDownloadFiles", 1, row, destination);
    }

    // The list holds one row: `source`, saved as `destination`.
    void onlyRow(const QString& source, const QString& destination)
    {
        setRow(1, source, destination);
        setRow(2, QString(), QString());
    }

    // The list holds one row: the station's elements from the satellite-element site at `host`.
    QString onlyIssElements(const QString& host)
    {
        gw::endpoints::hosts().satellites = host;
        setRow(1, QString(), QString());
        setRow(2, gw::endpoints::issElements(), tleFile());
        return gw::endpoints::issElements();
    }

    QString cloudFile() const { return layout.imagesFolder() + "clouds_2000.jpg"; }
    QString quakeFile() const { return layout.markersFolder() + "quake.asc"; }
    QString markerFile() const { return layout.markersFolder() + "quake.marker"; }
    QString tleFile() const { return layout.satellitesFolder() + "iss.tle"; }

    // The date-time text recorded for a server copy of ServerDate.
    static QString serverDateText(const QDateTime& date = ServerDate) { return gw::DateTimeToStr(date.toLocalTime()); }
    QString recorded(const QString& url) const { return records.recorded(url); }
    bool isRecorded(const QString& url) const { return recorded(url) == serverDateText(); }

    // Transfers that completed, by the success lines of the transfer log.
    int successLines(const QString& name) const
    {
        int n = 0;
        for (const QString& l : log.lines)
            if (l.contains(" - Success: ") && l.endsWith(" kb/s) - " + name))
                ++n;
        return n;
    }
    int linesContaining(const QString& text) const
    {
        int n = 0;
        for (const QString& l : log.lines)
            if (l.contains(text))
                ++n;
        return n;
    }
    std::string logText() const { return log.lines.join('\n').toStdString(); }
};

} // namespace gwtest
