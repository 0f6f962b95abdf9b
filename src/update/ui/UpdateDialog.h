#pragma once
// The update dialog, created once at start and shown modally for each check: it fetches
// "updates.ini" from the program's web server, says whether a newer release exists and, when
// the user agrees, downloads it to a file of the user's choosing. The program never replaces
// itself; after a download it only asks the user to do so.
#include "net/HttpClient.h"
#include "shared/DateTime.h"

#include <QDialog>
#include <QPixmap>
#include <QStringList>
#include <QTimer>
#include <QVector>

#include <functional>
#include <memory>

class QEventLoop;
class QLabel;

namespace Ui {
class UpdateDialog;
}

namespace gw {

struct AppState;
class Clock;
class Dialogs;
class SettingsAccess;
struct UpdateInfo;

// What DownloadFromWeb checks or does beyond the plain transfer.
struct WebFetchOptions
{
    QString sha256; // hex: a body of another SHA-256 fails and leaves no file
    qint64 maxBytes = 0; // a larger body fails and leaves no file (0: no limit)
    QByteArray* body = nullptr; // receives the body instead of the destination
    // The request asks the update server itself: a failure names it ("cannot reach the update
    // server: name not found") and ends the search.
    bool updateServer = false;
};

class UpdateDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int FrameCount = 24;
    static constexpr int FrameSize = 32;

    // `settings` are the main window's (the proxy fields); `dialogs` asks for the destination.
    UpdateDialog(SettingsAccess& settings, Dialogs& dialogs, const Clock& clock, QWidget* parent = nullptr);
    ~UpdateDialog() override;

    // The program's own file version (the utility component's FileVersion); the compiled-in
    // version until set.
    void setFileVersion(const QString& version) { m_fileVersion = version; }
    QString fileVersion() const { return m_fileVersion; }

    // Where an error that ends the check goes (the application's error report); a message box
    // through `dialogs` until set.
    void setErrorHandler(std::function<void(const QString&)> handler) { m_errorHandler = std::move(handler); }

    QLabel* BetaVersion() const;

    void FormShow();
    // Runs the check, once per show; an error that ends it goes to the error handler.
    void FormActivate();
    // The check itself; it ends with "Close" shown, whichever way it ends.
    void StartLookingForUpdate();
    // Fetches `url` into `destination` (empty: nothing is kept); true when the transfer
    // completed. `silent` shows nothing, neither progress nor a failure.
    bool DownloadFromWeb(
        const QString& url, const QString& destination, bool silent, const WebFetchOptions& options = {});
    // Copies the main window's proxy settings into the client; an empty field keeps the
    // client's value. A port that is no number throws Error.
    void SetProxy();
    // Shows "Ok" and "Cancel" and waits for one of them; true for "Ok".
    bool GetOK();

    // The memo's lines and the status bar's text, as the user sees them.
    QStringList memoLines() const { return m_memo; }
    QString statusText() const;
    int frameIndex() const { return m_updateFrameIndex; }
    const QVector<QPixmap>& frames() const { return m_frames; }
    HttpClient& http() { return m_http; }

    // "<date-time> - Success: <bytes> byte in <sec> sec. (<rate> kb/s)" for a transfer of
    // `bytes` that took `seconds`.
    static QString successText(TDateTime now, qint64 bytes, double seconds);

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void btnOKClick();
    void btnCancelClick();
    void btnCloseClick();
    void Timer1Timer();
    void HTTPWorkBegin(qint64 expected);
    void HTTPWork(qint64 received);
    void HTTPWorkEnd(bool complete);

    void setMemo(const QStringList& lines);
    void setMemoLine(int index, const QString& text);
    // The search ended without a release: `why` in place of the search line.
    void endSearch(const QString& why);
    void setStatus(const QString& text);
    void setProgress(qint64 position);
    void setProgressMax(qint64 max);
    void endCheck();
    // Fetches "updates.ini" and keeps it beside the program only when it can be read; false,
    // with the reason in the memo, when it cannot.
    bool fetchUpdateInfo(UpdateInfo* info);

    std::unique_ptr<Ui::UpdateDialog> m_ui;
    SettingsAccess& m_settings;
    Dialogs& m_dialogs;
    const Clock& m_clock;
    std::function<void(const QString&)> m_errorHandler;
    QString m_fileVersion;

    HttpClient m_http;
    QTimer m_timer1;
    QVector<QPixmap> m_frames;
    QStringList m_memo;

    bool m_updateOkPressed = false;
    bool m_updateAbort = false;
    TDateTime m_updateDownloadStart = 0;
    int m_updateFrameIndex = 0;

    bool m_eventsAttached = true;
    bool m_checkedThisShow = false;
    bool m_closed = false; // the dialog was closed while the check still ran
    QEventLoop* m_waitLoop = nullptr; // GetOK's wait
    qint64 m_progressMax = 100;
};

// The main window's "Check for Update": nothing while a download runs; else the dialog is
// shown modally with an empty local beta tag, and DownloadBusy is held until it closes.
// False when nothing was shown.
bool btnCheckForUpdateClick(AppState& state, UpdateDialog& dialog);

} // namespace gw
