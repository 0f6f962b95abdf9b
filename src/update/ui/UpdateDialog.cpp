#include "update/ui/UpdateDialog.h"

#include "ui_UpdateDialog.h"

#include "downloads/AnswerLimits.h"
#include "net/DownloadEngine.h"
#include "net/TransferSettings.h"
#include "settings/SettingNames.h"
#include "settings/SettingsAccess.h"
#include "shared/AppState.h"
#include "shared/Clock.h"
#include "shared/Dialogs.h"
#include "shared/Endpoints.h"
#include "shared/Error.h"
#include "shared/FlagGuard.h"
#include "shared/NumberText.h"
#include "shared/Paths.h"
#include "update/UpdateInfo.h"
#include "update/ui/UpdateGlobe.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QScopeGuard>
#include <QScreen>
#include <QShowEvent>
#include <QTextBlockFormat>
#include <QTextCursor>

#include <climits>

namespace gw {

namespace {

    const QString kUserAgent = QStringLiteral("Mozilla/3.0 (compatible; Globewall update check)");
    const QString kUpdatesName = QStringLiteral("updates.ini");

    // Takes whatever is written and keeps nothing.
    class DiscardSink : public QIODevice
    {
    protected:
        qint64 readData(char*, qint64) override { return -1; }
        qint64 writeData(const char*, qint64 length) override { return length; }
    };

    // Passes everything on to `target` and keeps the SHA-256 of what went through.
    class HashingSink : public QIODevice
    {
    public:
        explicit HashingSink(QIODevice* target)
            : m_target(target)
        {
            open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        }
        QByteArray digest() const { return m_hash.result(); }

    protected:
        qint64 readData(char*, qint64) override { return -1; }
        qint64 writeData(const char* data, qint64 length) override
        {
            const qint64 written = m_target->write(data, length);
            if (written > 0)
                m_hash.addData(QByteArrayView(data, written));
            return written;
        }

    private:
        QIODevice* m_target;
        QCryptographicHash m_hash { QCryptographicHash::Sha256 };
    };

} // namespace

UpdateDialog::UpdateDialog(SettingsAccess& settings, Dialogs& dialogs, const Clock& clock, QWidget* parent)
    : QDialog(parent,
        Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowCloseButtonHint)
    , m_ui(std::make_unique<Ui::UpdateDialog>())
    , m_settings(settings)
    , m_dialogs(dialogs)
    , m_clock(clock)
    , m_fileVersion(QStringLiteral(GLOBEWALL_VERSION))
    , m_timer1(this)
    , m_frames(drawUpdateGlobeFrames(FrameCount, FrameSize))
{
    m_ui->setupUi(this);
    setObjectName(QStringLiteral("TFormCheckForUpdate"));
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    m_errorHandler = [this](const QString& text) { m_dialogs.message(MessageKind::Error, text); };
    m_http.setUserAgent(kUserAgent);
    m_timer1.setObjectName(QStringLiteral("Timer1"));

    m_ui->BetaVersion->hide();
    m_ui->btnOK->hide();
    m_ui->btnCancel->hide();
    m_ui->btnClose->hide();

    // The message area reads as part of the dialog: bold, centred, on the dialog's colour.
    QFont bold = m_ui->Memo->font();
    bold.setBold(true);
    m_ui->Memo->setFont(bold);
    QPalette palette = m_ui->Memo->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    m_ui->Memo->setPalette(palette);

    if (!m_frames.isEmpty())
        m_ui->Image1->setPixmap(m_frames.first());

    connect(m_ui->btnOK, &QPushButton::clicked, this, &UpdateDialog::btnOKClick);
    connect(m_ui->btnCancel, &QPushButton::clicked, this, &UpdateDialog::btnCancelClick);
    connect(m_ui->btnClose, &QPushButton::clicked, this, &UpdateDialog::btnCloseClick);
    connect(&m_timer1, &QTimer::timeout, this, &UpdateDialog::Timer1Timer);
    connect(&m_http, &HttpClient::transferBegin, this, &UpdateDialog::HTTPWorkBegin);
    connect(&m_http, &HttpClient::transferProgress, this, &UpdateDialog::HTTPWork);
    connect(&m_http, &HttpClient::transferEnd, this, &UpdateDialog::HTTPWorkEnd);
}

UpdateDialog::~UpdateDialog() = default;

QLabel* UpdateDialog::BetaVersion() const
{
    return m_ui->BetaVersion;
}

QString UpdateDialog::statusText() const
{
    return m_ui->StatusBar->currentMessage();
}

void UpdateDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return; // the window came back from being minimised: no new check
    FormShow();
    // Activation is not reported on every platform; the check starts once the dialog's own
    // event loop runs, whichever comes first.
    QMetaObject::invokeMethod(this, &UpdateDialog::FormActivate, Qt::QueuedConnection);
}

void UpdateDialog::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        QMetaObject::invokeMethod(this, &UpdateDialog::FormActivate, Qt::QueuedConnection);
}

void UpdateDialog::FormShow()
{
    m_ui->lbVersion->setText(
        QStringLiteral("Globewall Version ") + m_fileVersion + QLatin1Char(' ') + m_ui->BetaVersion->text());
    // "Close" and "Cancel" may still show from the previous check.
    m_ui->btnOK->hide();
    m_ui->btnCancel->hide();
    m_ui->btnClose->hide();
    m_updateAbort = false;
    m_closed = false;
    m_checkedThisShow = false;
    m_updateFrameIndex = 0;
    m_timer1.setInterval(3000 / FrameCount);
    m_timer1.start();
    // Four empty lines: the search line becomes the fifth, two below a failure text.
    setMemo({ QString(), QString(), QString(), QString() });
    setStatus(QString());
    setProgress(0);
    if (const QScreen* s = screen()) {
        adjustSize();
        move(s->availableGeometry().center() - rect().center());
    }
}

void UpdateDialog::FormActivate()
{
    if (m_checkedThisShow || !isVisible())
        return;
    m_checkedThisShow = true;
    // The check runs from the event loop; its errors end here and are reported, not thrown into Qt.
    try {
        StartLookingForUpdate();
    } catch (const Error& e) {
        m_errorHandler(e.message());
    } catch (const std::exception& e) {
        m_errorHandler(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        m_errorHandler(QStringLiteral("Unknown error during the update check"));
    }
}

void UpdateDialog::StartLookingForUpdate()
{
    // However the check ends (an error included), the user can close the dialog.
    auto finally = qScopeGuard([this] { endCheck(); });

    setStatus(QStringLiteral("searching for new version..."));
    setMemo(m_memo + QStringList { QStringLiteral("searching for new version...") });
    if (m_updateAbort)
        return;

    UpdateInfo info;
    if (!fetchUpdateInfo(&info))
        return;
    if (!info.URL2.isEmpty())
        DownloadFromWeb(info.URL2, QString(), true);
    if (!info.URL3.isEmpty())
        DownloadFromWeb(info.URL3, QString(), true);

    if (!isNewerRelease(info.Version, info.Beta, m_fileVersion, m_ui->BetaVersion->text())) {
        setMemo({ QString(), QStringLiteral("no new version available"), QString() });
        setStatus(QString());
        return;
    }

    setStatus(QStringLiteral("found new version ") + info.Version + QLatin1Char(' ') + info.Beta);
    const QStringList found { QString(), QStringLiteral("Found new version on ") + hostOf(endpoints::hosts().program),
        QString(), QStringLiteral("Version: ") + info.Version + QLatin1Char(' ') + info.Beta,
        QStringLiteral("From: ") + info.Date, QString(), info.Description, QString() };
    // Anyone on the way could change what comes over plain http: only a sum to check it
    // against makes such a release safe to keep.
    if (isPlainTransfer(info.URL1) && info.SHA256.trimmed().isEmpty()) {
        setMemo(found
            + QStringList { QStringLiteral("not downloaded: it is offered over plain http without a SHA-256 sum"),
                QString(), QStringLiteral("You can download the file from:"), hostOf(endpoints::hosts().program) });
        return;
    }
    setMemo(found + QStringList { QStringLiteral("download this file?") });
    if (!GetOK()) {
        setMemo({ QString(), QStringLiteral("You can download the file from:"), QString(),
            hostOf(endpoints::hosts().program) });
        return;
    }

    FileDialogRequest request;
    request.title = QStringLiteral("Save new Globewall to...");
    request.proposedFile = proposedFileName(info.URL1);
    request.filter = QStringLiteral("All-Files (*)|*"); // "*.*" would hide names without a dot
    request.defaultExtension = proposedExtension(request.proposedFile);
    const QString chosen = m_dialogs.getSaveFile(request);
    if (chosen.isEmpty()) {
        setMemo({ QString(), QStringLiteral("try again later") });
        return;
    }

    setStatus(QStringLiteral("downloading..."));
    setMemoLine(2, QStringLiteral("downloading ") + QFileInfo(chosen).fileName());
    if (DownloadFromWeb(info.URL1, chosen, false, { info.SHA256 })) {
        setMemo({ QString(), QStringLiteral("download completed"), QString(),
            QStringLiteral("Close Globewall now and replace it by the new version") });
        setStatus(QString());
    }
}

bool UpdateDialog::fetchUpdateInfo(UpdateInfo* info)
{
    QByteArray bytes;
    if (!DownloadFromWeb(endpoints::updateInfo(), QString(), false, { {}, limits::UpdateInfoBytes, &bytes, true }))
        return false;
    *info = UpdateInfo::fromBytes(bytes);
    if (!info->problem.isEmpty()) {
        endSearch(kUpdatesName + QStringLiteral(" could not be read (") + info->problem + QLatin1Char(')'));
        return false;
    }
    // Kept as the server sent it, beside the settings: what the last check read. The check
    // itself needs no copy, so a copy that cannot be written does not end it.
    QSaveFile file(programDir() + kUpdatesName);
    file.setDirectWriteFallback(false);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size())
        file.commit();
    return true;
}

void UpdateDialog::endCheck()
{
    m_ui->btnClose->show();
    m_ui->btnClose->setFocus();
    setStatus(QString());
}

bool UpdateDialog::DownloadFromWeb(
    const QString& url, const QString& destination, bool silent, const WebFetchOptions& options)
{
    m_ui->btnCancel->show();
    auto always = qScopeGuard([&] {
        m_eventsAttached = true;
        setProgress(0);
        m_ui->btnCancel->hide();
    });
    if (m_closed)
        return false; // the dialog is gone: nothing more is fetched

    // Without a destination only the request counts: the answer is not kept anywhere.
    DiscardSink discard;
    // Otherwise the body goes to a new file beside the destination that replaces it only when
    // complete, so a failed or cancelled transfer neither leaves a partial file nor spoils the
    // one there. A folder where that file cannot be made refuses the download: writing into
    // the existing file instead would destroy it when the transfer fails.
    QSaveFile file(destination);
    QBuffer memory(options.body);
    QIODevice* sink = &discard;
    if (options.body) {
        memory.open(QIODevice::WriteOnly);
        sink = &memory;
    } else if (!destination.isEmpty()) {
        file.setDirectWriteFallback(false);
        if (!file.open(QIODevice::WriteOnly)) {
            if (!silent)
                setMemoLine(2, QStringLiteral("Error creating file ") + destination);
            return false;
        }
        sink = &file;
    } else {
        discard.open(QIODevice::WriteOnly);
    }
    SetProxy();
    m_eventsAttached = !silent;
    HashingSink hashing(sink);
    m_http.setMaxBodyBytes(options.maxBytes);
    const HttpResponse response = m_http.get(url, &hashing, { noCacheHeader() });
    m_http.setMaxBodyBytes(0);
    QString failure;
    if (!response.ok) {
        failure = DownloadEngine::failureText(response);
        if (options.updateServer)
            failure = (response.reachedServer ? QStringLiteral("the update server gave no usable answer: ")
                                              : QStringLiteral("cannot reach the update server: "))
                + failure;
    } else if (!options.sha256.isEmpty() && !matchesSha256(hashing.digest(), options.sha256))
        failure = QStringLiteral("the file does not match its SHA-256 sum and was not kept"); // never committed
    else if (sink == &file && !file.commit())
        failure = QStringLiteral("Error writing file ") + destination;
    if (failure.isEmpty())
        return true;
    if (silent)
        return false;
    const QString shown = m_updateAbort ? QStringLiteral("download aborted") : failure;
    if (options.updateServer)
        endSearch(shown);
    else
        setMemoLine(2, shown);
    return false;
}

void UpdateDialog::endSearch(const QString& why)
{
    // The search line goes: the search has ended, and this says why.
    setMemo({ QString(), QString(), why });
    setStatus(QString());
}

void UpdateDialog::SetProxy()
{
    // The user started this check: a port that is no number ends it with an error.
    const QString portError = setUpClient(m_http, m_settings, ClientRole::UpdateCheck);
    if (!portError.isEmpty())
        throw Error(portError);
}

bool UpdateDialog::GetOK()
{
    m_updateOkPressed = false;
    m_updateAbort = false;
    if (m_closed)
        return false;
    m_ui->btnOK->show();
    m_ui->btnCancel->show();
    m_ui->btnOK->setFocus();
    QEventLoop loop;
    m_waitLoop = &loop;
    while (!m_updateOkPressed && !m_updateAbort && !m_closed)
        loop.exec();
    m_waitLoop = nullptr;
    m_ui->btnOK->hide();
    m_ui->btnCancel->hide();
    return m_updateOkPressed;
}

void UpdateDialog::btnOKClick()
{
    m_updateOkPressed = true;
    if (m_waitLoop)
        m_waitLoop->quit();
}

void UpdateDialog::btnCancelClick()
{
    m_updateAbort = true;
    m_http.abort();
    if (m_waitLoop)
        m_waitLoop->quit();
}

void UpdateDialog::btnCloseClick()
{
    m_updateAbort = true;
    close();
}

void UpdateDialog::done(int result)
{
    // Closed in whatever way (the close box and Escape too): a running transfer and a pending
    // question end at once, or the check would go on behind a hidden dialog.
    m_updateAbort = true;
    m_closed = true;
    m_http.abort();
    if (m_waitLoop)
        m_waitLoop->quit();
    m_timer1.stop();
    QDialog::done(result);
}

void UpdateDialog::Timer1Timer()
{
    if (m_frames.isEmpty())
        return;
    if (m_updateFrameIndex >= m_frames.size())
        m_updateFrameIndex = 0;
    m_ui->Image1->setPixmap(m_frames.at(m_updateFrameIndex));
    ++m_updateFrameIndex;
}

void UpdateDialog::HTTPWorkBegin(qint64 expected)
{
    if (!m_eventsAttached)
        return;
    setProgressMax(expected);
    m_updateDownloadStart = m_clock.now();
}

void UpdateDialog::HTTPWork(qint64 received)
{
    if (!m_eventsAttached)
        return;
    if (m_progressMax == 0)
        setProgressMax(1);
    setProgress(received);
    setStatus(QString::number(received) + QLatin1Char('/') + QString::number(m_progressMax));
}

void UpdateDialog::HTTPWorkEnd(bool complete)
{
    // A transfer that broke off is no success, whatever arrived of it.
    if (!m_eventsAttached || !complete)
        return;
    const TDateTime now = m_clock.now();
    setStatus(successText(now, m_progressMax, elapsedSeconds(m_updateDownloadStart, now)));
}

QString UpdateDialog::successText(TDateTime now, qint64 bytes, double seconds)
{
    return DateTimeToStr(now) + successFigures(bytes, seconds);
}

void UpdateDialog::setMemo(const QStringList& lines)
{
    m_memo = lines;
    m_ui->Memo->setPlainText(lines.join(QLatin1Char('\n')));
    QTextCursor all(m_ui->Memo->document());
    all.select(QTextCursor::Document);
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    all.mergeBlockFormat(centred);
}

void UpdateDialog::setMemoLine(int index, const QString& text)
{
    QStringList lines = m_memo;
    while (lines.size() <= index)
        lines.append(QString());
    lines[index] = text;
    setMemo(lines);
}

void UpdateDialog::setStatus(const QString& text)
{
    if (text.isEmpty())
        m_ui->StatusBar->clearMessage();
    else
        m_ui->StatusBar->showMessage(text);
}

void UpdateDialog::setProgressMax(qint64 max)
{
    m_progressMax = max;
    // The bar counts in int; a bigger size is shown in coarser steps.
    m_ui->pbDownload->setMaximum(static_cast<int>(qMin<qint64>(max, INT_MAX)));
}

void UpdateDialog::setProgress(qint64 position)
{
    const qint64 max = qMax<qint64>(m_progressMax, 1);
    position = qBound<qint64>(0, position, max);
    const int shown
        = max <= INT_MAX ? static_cast<int>(position) : static_cast<int>(static_cast<double>(position) / max * INT_MAX);
    m_ui->pbDownload->setValue(shown);
}

bool btnCheckForUpdateClick(AppState& state, UpdateDialog& dialog)
{
    if (state.DownloadBusy)
        return false;
    FlagGuard busy(state.DownloadBusy);
    dialog.BetaVersion()->clear();
    dialog.exec();
    return true;
}

} // namespace gw
