#pragma once
// A download engine wired to in-memory parts (settings, log, dialogs, tray, display) and a
// settings file in a temporary folder, for tests against real servers on loopback.
#include "HttpFaultServer.h"
#include "TempDir.h"

#include "downloads/AnswerLimits.h"
#include "net/DownloadEngine.h"
#include "net/DownloadRecords.h"
#include "net/TransferDisplay.h"
#include "net/TransferProgress.h"
#include "settings/MemorySettings.h"
#include "shared/AppState.h"
#include "shared/Endpoints.h"
#include "shared/LogSink.h"
#include "shared/Paths.h"
#include "shared/TrayImage.h"
#include "support/ManualClock.h"
#include "support/MemorySinks.h"
#include "support/ScriptedDialogs.h"

#include <QFile>
#include <QVector>

namespace gwtest {

class FakeTray : public gw::TrayImage
{
public:
    gw::TrayList iconList() const override { return m_list; }
    void setIconList(gw::TrayList list) override
    {
        m_list = list;
        if (list == gw::TrayList::Percent)
            ++percentListSet;
    }
    int imageCount() const override { return m_list == gw::TrayList::Globe ? 26 : 15; }
    int frameIndex() const override { return m_frame; }
    void setFrameIndex(int index) override
    {
        m_frame = index;
        if (m_list == gw::TrayList::Percent)
            percentFrames << index;
    }
    bool animate() const override { return false; }
    void setAnimate(bool) override { }

    QVector<int> percentFrames; // every frame set while the percent list was shown
    int percentListSet = 0;

private:
    gw::TrayList m_list = gw::TrayList::Globe;
    int m_frame = 0;
};

class MemoryDisplay : public gw::TransferDisplay
{
public:
    qint64 progressMax() const override { return max; }
    void setProgressMax(qint64 m) override { max = m; }
    void setProgressPosition(qint64 p) override
    {
        position = p;
        if (p > 0)
            positions << p;
    }
    void setStatusPanel1(const QString& text) override { panel1 = text; }
    void setBusyCursor(bool b) override { busyCursor = b; }

    qint64 max = 0;
    qint64 position = 0;
    QVector<qint64> positions;
    QString panel1;
    bool busyCursor = false;
};

struct DownloadRig
{
    TempDir dir;
    gw::MemorySettings settings;
    gw::AppState state;
    gw::MemoryLog log;
    gw::ScriptedDialogs dialogs;
    FakeTray tray;
    gw::ManualClock clock { 46000.5 }; // 9 December 2025, 12:00:00
    MemoryDisplay display;
    QString settingsFile = dir.file(QStringLiteral("Globewall.ini"));
    gw::DownloadRecords records { [this] { return settingsFile; } };
    gw::DownloadEngine engine { settings, state, log, dialogs, clock, records };

    DownloadRig()
    {
        gw::setProgramDir(dir.path());
        gw::showTransfers(engine, tray, display, settings);
        engine.setAnswerLimit(gw::limits::maxBytesFor);
        // Short limits, so a stalled or trickling server fails a test in a second or two.
        engine.http().setTimeouts({ 2000, 1, 1, 2, 16 * 1024 });
        settings.setChecked(QStringLiteral("cbUseMD5ForCloudDownload"), true); // as a first start has it
    }
    ~DownloadRig() { gw::setProgramDir(QString()); }

    // The log line as written at the rig's clock.
    QString line(const QString& message) const { return gw::DateTimeToStr(clock.now()) + message; }
    QString file(const QString& name) const { return dir.file(name); }
};

// The frame header, `data` and the end marker of a JPEG: all that the cloud map check reads.
inline QByteArray jpegOfSize(int width, int height, const QByteArray& data = QByteArray(5000, 'c'))
{
    QByteArray jpeg("\xFF\xD8\xFF\xC0\x00\x11\x08", 7);
    for (int value : { height, width })
        jpeg += char(value >> 8), jpeg += char(value & 0xFF);
    return jpeg + QByteArray("\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01", 10) + data + "\xFF\xD9";
}

// Points the built-in addresses at a loopback server for the life of a test.
class EndpointOverride
{
public:
    explicit EndpointOverride(const QString& rendererHost)
        : m_saved(gw::endpoints::hosts())
    {
        gw::endpoints::hosts().renderer = rendererHost;
    }
    ~EndpointOverride() { gw::endpoints::hosts() = m_saved; }

private:
    gw::endpoints::Hosts m_saved;
};

} // namespace gwtest
