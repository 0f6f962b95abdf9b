#include "app/StatusReport.h"

#include "app/AppCore.h"
#include "app/StatusLines.h"
#include "background/DesktopDetection.h"
#include "downloads/DownloadStatus.h"
#include "downloads/SourceMirror.h"
#include "renderer/RenderControl.h"
#include "settings/MemorySettings.h"
#include "settings/SettingNames.h"
#include "settings/SettingsAccess.h"
#include "settings/SettingsFile.h"
#include "shared/AppState.h"
#include "shared/Paths.h"

#include <QGuiApplication>
#include <QScreen>

namespace gw {

QString nextText(const PlanJob& job, TDateTime now)
{
    if (job.hold.kind != HoldKind::None)
        return QStringLiteral("held: ") + holdText(job.hold, now);
    const auto at = job.runsAt();
    return !at || *at <= now ? QStringLiteral("now") : DateTimeToStr(*at);
}

QString statusReport(const SettingsAccess& settings, const AppState& state, const QString& settingsFile, TDateTime now,
    const DesktopFacts& desktop, bool running, const Plan* plan)
{
    QString text = QStringLiteral("Globewall status at ") + DateTimeToStr(now)
        + (running ? QStringLiteral(" (from the running Globewall)") : QStringLiteral(" (Globewall is not running)"))
        + QStringLiteral("\nsettings file: ") + settingsFile + QStringLiteral("\nmirror:        ")
        + mirror::statusText(settings.text(ctl::edtMirror)) + QStringLiteral("\n\n");
    QList<DownloadState> downloads = downloadStates(settings, settingsFile, now);
    if (plan) {
        // The running program says what it will do: a download it does not time itself says so.
        for (DownloadState& s : downloads) {
            if (s.nextFetch.startsWith(QStringLiteral("stopped")))
                continue;
            s.nextFetch = QStringLiteral("no timed download");
        }
        for (const PlanJob& job : plan->jobs()) {
            if (job.kind != PlanJob::Row)
                continue;
            const QString label
                = job.row == 0 ? QStringLiteral("cloud map") : QStringLiteral("download ") + QString::number(job.row);
            for (DownloadState& s : downloads) {
                if (s.label == label)
                    s.nextFetch = nextText(job, now);
            }
        }
    }
    text += downloadStatusText(downloads, now);
    text += QStringLiteral("\ndesktop:     ") + desktop.desktop + QLatin1Char('\n');
    text += QStringLiteral("monitors:    ")
        + (desktop.monitors.isEmpty() ? QStringLiteral("not known") : desktop.monitors.join(QStringLiteral(", ")))
        + QLatin1Char('\n');
    QString render;
    if (!running)
        render = QStringLiteral("none while Globewall is not running");
    else if (!settings.checked(ctl::Globewallenabled))
        render = QStringLiteral("none: switched off");
    else if (!settings.checked(ctl::cbStartEveryXsec))
        render = QStringLiteral("no timed render");
    else if (const PlanJob* job = plan ? plan->find(PlanJob::Render) : nullptr)
        render = nextText(*job, now);
    else {
        const TDateTime due = statusFacts(settings, state, settingsFile, now).nextRender;
        render = due <= now ? QStringLiteral("now") : DateTimeToStr(due);
    }
    text += QStringLiteral("next render: ") + render + QLatin1Char('\n');
    return text;
}

namespace {

    QString desktopText(const SettingsAccess& settings, DesktopKind found)
    {
        return settings.text(ctl::ddbDesktopBackground) + QStringLiteral(" (found: ") + desktopCaption(found)
            + QLatin1Char(')');
    }

} // namespace

QString runningStatus(AppCore& app)
{
    DesktopFacts desktop;
    desktop.desktop = desktopText(app.settings(), app.render().detectedDesktop());
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect g = screen->geometry();
        desktop.monitors << QStringLiteral("%1 %2x%3+%4+%5")
                                .arg(screen->name())
                                .arg(g.width())
                                .arg(g.height())
                                .arg(g.x())
                                .arg(g.y());
    }
    return statusReport(app.settings(), app.state(), app.settingsFile().ConfigFileName(), app.clock().now(), desktop,
        true, &app.plan());
}

QString offlineStatus()
{
    MemorySettings settings;
    SettingsFileHooks hooks; // nothing beyond the values themselves
    SettingsFile file(settings, hooks, programDir(), QSize());
    const QString chosen = settingsFileOverride();
    if (!chosen.isEmpty())
        file.setBaseFile(chosen);
    // Read errors are reported by the program itself; here what could be read is shown.
    try {
        file.IniLoad(QString());
    } catch (...) {
    }
    DesktopFacts desktop;
    desktop.desktop = desktopText(settings, detectDesktop(SessionEnvironment::fromProcess()));
    return statusReport(settings, AppState(), file.ConfigFileName(), SystemClock().now(), desktop, false);
}

} // namespace gw
