#pragma once
// The update dialog with in-memory settings and scripted save dialogs, pointed at a loopback
// server, and a driver that plays the user: it answers the question, may press "Cancel" once
// the release transfer shows progress, and presses "Close" when the check has ended.
#include "HttpFaultServer.h"
#include "TempDir.h"

#include "settings/MemorySettings.h"
#include "shared/AppState.h"
#include "shared/Endpoints.h"
#include "shared/Paths.h"
#include "support/ManualClock.h"
#include "support/ScriptedDialogs.h"
#include "update/ui/UpdateDialog.h"

#include <QCryptographicHash>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include <memory>

namespace gwtest {

enum class Reply { Ok, Cancel, CloseBox, NotAsked };

struct Plan
{
    Reply reply = Reply::NotAsked; // to "download this file?"; NotAsked fails when it comes
    bool cancelDuringTransfer = false;
    bool closeBoxDuringTransfer = false;
};

struct Seen
{
    bool shown = false; // btnCheckForUpdateClick showed the dialog
    bool asked = false;
    QStringList questionMemo;
    QStringList finalMemo; // when "Close" appeared
    QString finalStatus; // the status bar then
    bool closeOffered = false;
    bool cancelledTransfer = false;
    bool busyWhileOpen = false;
    bool watchdogFired = false;
    QString versionLabel;
    int timerInterval = 0;
    bool timerRan = false;
};

class DialogDriver : public QObject
{
public:
    DialogDriver(gw::UpdateDialog& form, const gw::AppState& state, const Plan& plan)
        : m_form(form)
        , m_state(state)
        , m_plan(plan)
    {
        connect(&m_poll, &QTimer::timeout, this, [this] { poll(); });
        m_poll.start(10);
        // No check here needs more than a few seconds; a hung one fails instead of blocking.
        m_watchdog.setSingleShot(true);
        connect(&m_watchdog, &QTimer::timeout, this, [this] {
            seen.watchdogFired = true;
            m_form.reject();
        });
        m_watchdog.start(15000);
    }

    Seen seen;

private:
    QPushButton* button(const char* name) const { return m_form.findChild<QPushButton*>(name); }

    void poll()
    {
        if (!m_form.isVisible())
            return;
        seen.busyWhileOpen = seen.busyWhileOpen || m_state.DownloadBusy;
        seen.versionLabel = m_form.findChild<QLabel*>("lbVersion")->text();
        if (const QTimer* timer = m_form.findChild<QTimer*>("Timer1")) {
            seen.timerInterval = timer->interval();
            seen.timerRan = seen.timerRan || timer->isActive();
        }
        if (button("btnClose")->isVisible()) {
            seen.closeOffered = true;
            seen.finalMemo = m_form.memoLines();
            seen.finalStatus = m_form.findChild<QStatusBar*>()->currentMessage();
            button("btnClose")->click();
            return;
        }
        if (!seen.asked && button("btnOK")->isVisible()) {
            seen.asked = true;
            seen.questionMemo = m_form.memoLines();
            switch (m_plan.reply) {
            case Reply::Ok:
                button("btnOK")->click();
                break;
            case Reply::Cancel:
                button("btnCancel")->click();
                break;
            case Reply::CloseBox:
            case Reply::NotAsked:
                m_form.close();
                break;
            }
            return;
        }
        const bool releaseRunning = seen.asked && m_form.statusText().contains(QLatin1Char('/'));
        if (releaseRunning && !seen.cancelledTransfer) {
            if (m_plan.cancelDuringTransfer) {
                seen.cancelledTransfer = true;
                button("btnCancel")->click();
            } else if (m_plan.closeBoxDuringTransfer) {
                seen.cancelledTransfer = true;
                m_form.close();
            }
        }
    }

    gw::UpdateDialog& m_form;
    const gw::AppState& m_state;
    Plan m_plan;
    QTimer m_poll;
    QTimer m_watchdog;
};

struct UpdateRig
{
    TempDir dir;
    gw::MemorySettings settings;
    gw::AppState state;
    gw::ScriptedDialogs dialogs;
    gw::ManualClock clock { 46000.5 };
    gw::endpoints::Hosts savedHosts = gw::endpoints::hosts();
    std::unique_ptr<gw::UpdateDialog> form;
    QStringList errors;

    // `programHost` stands for the program's web server, e.g. "http://127.0.0.1:8080/case1".
    explicit UpdateRig(const QString& programHost)
    {
        gw::setProgramDir(dir.path());
        gw::endpoints::hosts().program = programHost;
        gw::endpoints::hosts().updates = programHost;
        form = std::make_unique<gw::UpdateDialog>(settings, dialogs, clock);
        form->setFileVersion(QStringLiteral("1.1.3.68"));
        form->setErrorHandler([this](const QString& text) { errors << text; });
        // Short limits, so a stalled server fails a test in seconds.
        form->http().setTimeouts({ 2000, 1, 3 });
    }
    ~UpdateRig()
    {
        form.reset();
        gw::endpoints::hosts() = savedHosts;
        gw::setProgramDir(QString());
    }

    Seen run(const Plan& plan = {})
    {
        DialogDriver driver(*form, state, plan);
        driver.seen.shown = gw::btnCheckForUpdateClick(state, *form);
        return driver.seen;
    }

    QString file(const QString& name) const { return dir.file(name); }
};

// updates.ini announcing `version`/`beta` with a release at `url1`; a release over plain http
// needs `sha256Of`, the release's content, to be fetched at all.
inline QByteArray updatesIni(const QByteArray& version, const QByteArray& beta, const QByteArray& url1 = "",
    const QByteArray& url2 = "", const QByteArray& url3 = "", const QByteArray& sha256Of = "")
{
    QByteArray ini = "[Globewall]\r\nVersion=" + version + "\r\nBeta=" + beta + "\r\nURL1=" + url1 + "\r\nURL2=" + url2
        + "\r\nURL3=" + url3 + "\r\nDescription=Sharper clouds\r\nDate=2024-05-01\r\n";
    if (!sha256Of.isEmpty())
        ini += "SHA256=" + QCryptographicHash::hash(sha256Of, QCryptographicHash::Sha256).toHex() + "\r\n";
    return ini;
}

} // namespace gwtest
