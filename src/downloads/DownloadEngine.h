#pragma once
// Every download of the program goes through DownloadFile: the transfer goes into a ".part"
// file that replaces the previous copy only once it is complete, a missing folder is offered
// for creation, progress goes to the progress bar, the status bar and the tray icon, each
// outcome writes one line to the transfer log, and the built-in cloud map is checked against
// its published MD5 sum.
// Beside it live the freshness check, the records, the MD5 check and the reachability test.
#include "downloads/HttpClient.h"
#include "downloads/Ping.h"
#include "shared/DateTime.h"

#include <QObject>
#include <QString>

namespace gw {

struct AppState;
class Clock;
class Dialogs;
class DownloadRecords;
class LogSink;
class SettingsAccess;
class TrayImage;
class TransferDisplay;

class DownloadEngine : public QObject
{
    Q_OBJECT

public:
    DownloadEngine(SettingsAccess& settings, AppState& state, LogSink& transferLog, Dialogs& dialogs,
                   TrayImage& tray, const Clock& clock, TransferDisplay& display, DownloadRecords& records,
                   QObject* parent = nullptr);

    // Fetches `url` into `destination`; true when the file was created and the transfer
    // completed. `silent` shows nothing of the transfer (used for the checksum file).
    bool DownloadFile(const QString& url, const QString& destination, bool silent);

    // Copies the proxy settings into the HTTP client; an empty field keeps the client's value.
    void ApplyProxySettings();

    // True when `url` need not be fetched: the server's Last-Modified date equals the record,
    // or the check failed. `lastModifiedText` receives the date-time text to record after a
    // download, or the empty text when the server gave no 200 answer.
    bool AlreadyDownloaded(const QString& url, QString* lastModifiedText);

    // Records `text` for `url` in the current settings file (nothing for an empty text).
    void DateTimeDownloadedFile(const QString& url, const QString& text);

    // True when the file matches the published MD5 sum, or the sum cannot be fetched.
    bool VerifyMD5(const QString& fileName);

    // True when downloads may be tried: the ping host (or the proxy, when one is used) answers.
    bool PingReply();

    QString CurrentDownloadName() const { return m_currentDownloadName; }

    // Ends a running transfer (at shut-down).
    void abort() { m_http.abort(); }

    HttpClient& http() { return m_http; }
    Pinger& pinger() { return m_pinger; }
    void setPingTimeoutMs(int ms) { m_pingTimeoutMs = ms; }

    // Tray frame for a progress of received/max with `imageCount` frames: (count-1) x fraction
    // rounded half to even, kept within the list.
    static int progressFrame(int imageCount, qint64 received, qint64 max);
    // Seconds between two date-times as the success line counts them (0.001 for none).
    static double elapsedSeconds(TDateTime start, TDateTime end);
    // " - Success: <bytes> byte in <sec> sec. (<rate> kb/s) - <name>"
    static QString successMessage(qint64 bytes, double seconds, const QString& name);
    // The text between the parentheses of a failed transfer's error line.
    static QString failureText(const HttpResponse& response);

private:
    void onWorkBegin(qint64 expected);
    void onWork(qint64 received);
    void onWorkEnd(bool complete);
    void cleanUp();
    void transferError(const HttpResponse& response, bool silent);
    void headError(const QString& url, const HttpResponse& response);
    void writeHeadLog(const QString& entry);
    void configureClient();
    void log(const QString& message);

    SettingsAccess& m_settings;
    AppState& m_state;
    LogSink& m_log;
    Dialogs& m_dialogs;
    TrayImage& m_tray;
    const Clock& m_clock;
    TransferDisplay& m_display;
    DownloadRecords& m_records;

    HttpClient m_http;
    Pinger m_pinger;
    int m_pingTimeoutMs = 5000;
    bool m_eventsAttached = true;
    QString m_currentDownloadName;
    TDateTime m_transferStartTime = 0;
};

} // namespace gw
