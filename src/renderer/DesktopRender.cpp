// The renders of one StartXPlanet and the switch of the desktop background: where the picture
// goes is chosen on the page "General" ("automatic" asks the session). The root window is
// painted by the renderer as it always was; every other desktop gets files, one per monitor
// where it can show one per monitor, each rendered at its monitor's size one after another.
#include "renderer/RenderControl.h"

#include "background/DesktopBackend.h"
#include "background/PictureFiles.h"
#include "background/PngRead.h"
#include "renderer/CommandLine.h"
#include "renderer/PictureCompose.h"
#include "settings/SettingNames.h"
#include "settings/SettingsAccess.h"
#include "shared/AppState.h"
#include "shared/Clock.h"
#include "shared/DateTime.h"
#include "shared/LogSink.h"

#include <QFileInfo>

namespace gw {

namespace {

    QString renderFailure(const ProcessLauncher& exec)
    {
        return exec.Crashed() ? QStringLiteral("the renderer ended abnormally (signal ")
                + QString::number(exec.ResultCode()) + QLatin1Char(')')
                              : QStringLiteral("the renderer exited with code ") + QString::number(exec.ResultCode());
    }

    // Why a finished render's picture must not reach the desktop; empty when it may.
    QString brokenPicture(const ProcessLauncher& exec, const Picture& picture)
    {
        if (exec.ResultCode() != 0)
            return renderFailure(exec);
        if (!QFileInfo(picture.file).isFile())
            return QStringLiteral("the renderer wrote no picture");
        QString why;
        if (!isWholePng(picture.file, picture.geometry.width(), picture.geometry.height(), &why))
            return QStringLiteral("the renderer's picture is not whole: ") + why;
        return {};
    }

    const QString kPreviousStays = QStringLiteral("; the picture shown before stays");

} // namespace

DesktopKind RenderControl::detectedDesktop() const
{
    return detectDesktop(m_hasSession ? m_session : SessionEnvironment::fromProcess());
}

void RenderControl::logBackground(DesktopKind kind, const QString& text)
{
    m_log.appendLine(DateTimeToStr(m_clock.now()) + QStringLiteral(" - Desktop background (") + desktopCaption(kind)
        + QStringLiteral("): ") + text);
}

void RenderControl::runRenderer(ProcessLauncher& exec, bool hideApp)
{
    exec.Execute();
    m_state.LastRenderTime = m_clock.now();

    QStringList block;
    block << QStringLiteral("Parameter:") << exec.ExeParams() << QString(46, QLatin1Char('-'))
          << QStringLiteral("Output:") << exec.OutputLines() << QString(46, QLatin1Char('=')) << QString();
    m_messages.appendLines(block);
    if (!hideApp)
        m_messages.showWindow();
}

// Where one StartXPlanet's picture goes, read from the settings before the first render.
struct RenderControl::DesktopTarget
{
    DesktopKind kind = DesktopKind::Automatic;
    std::unique_ptr<DesktopBackend> backend;
    MonitorList monitors;
    int debugLevel = 0;
    QString summary; // e.g. "desktop: Xfce, 2 monitors"
    ApplyRequest request;
};

void RenderControl::renderForDesktop(ProcessLauncher& exec, bool hideApp)
{
    m_sequenceKilled = false;
    if (userParametersChooseOutput()) {
        runRenderer(exec, hideApp);
        return;
    }
    DesktopTarget target = desktopTarget();
    // A picture to keep needs a file: then the root window too is set from one.
    if (target.backend->layout() == PictureLayout::RootWindow && target.monitors.size() <= 1
        && !m_settings.checked(ctl::cbSaveDesktopFile))
        renderToRootWindow(exec, hideApp, target);
    else
        renderToFiles(exec, hideApp, target);
}

bool RenderControl::userParametersChooseOutput()
{
    // The user's own parameters may already say where the picture goes: they win.
    if (!m_settings.checked(ctl::rbStringParameter)
        || !argumentsChooseOutput(splitArguments(m_settings.text(ctl::edtParameter)))) {
        m_ownOutputLogged = false;
        return false;
    }
    if (!m_ownOutputLogged)
        m_log.appendLine(DateTimeToStr(m_clock.now())
            + QStringLiteral(" - Desktop background: the additional parameters choose the output "
                             "(-output, -geometry, -window or -root), so none is added"));
    m_ownOutputLogged = true;
    return true;
}

RenderControl::DesktopTarget RenderControl::desktopTarget()
{
    DesktopTarget target;
    desktopFromCaption(m_settings.text(ctl::ddbDesktopBackground), &target.kind);
    if (target.kind == DesktopKind::Automatic)
        target.kind = detectedDesktop();
    target.backend = makeBackend(target.kind);
    target.monitors = desktopMonitors(target);
    target.debugLevel = m_settings.integer(ctl::DebugLevel);
    const qsizetype monitorCount = std::max<qsizetype>(target.monitors.size(), 1);
    target.summary = QStringLiteral("desktop: ") + desktopCaption(target.kind) + QStringLiteral(", ")
        + QString::number(monitorCount)
        + (target.monitors.size() > 1 ? QStringLiteral(" monitors") : QStringLiteral(" monitor"));

    target.request.command = splitArguments(m_settings.text(ctl::edtBackgroundCommand));
    target.request.timeoutMs = m_applyTimeLimit;
    target.request.monitors = static_cast<int>(monitorCount);
    return target;
}

// A compositor's own list first: Qt may see it through XWayland or not at all. The screens of
// the display otherwise. When neither tells, one line until they do again.
MonitorList RenderControl::desktopMonitors(const DesktopTarget& target)
{
    MonitorList listed;
    QString why;
    if (target.backend->listMonitors(m_applyTimeLimit, &listed, &why)) {
        if (!listed.isEmpty()) {
            m_monitorsLogged = false;
            return listed;
        }
        why = QStringLiteral("the desktop lists none");
    }
    const MonitorList screens = m_monitors ? m_monitors() : MonitorList();
    // The renderer paints a root window of any size by itself.
    if (why.isEmpty() && (!screens.isEmpty() || target.backend->layout() == PictureLayout::RootWindow)) {
        m_monitorsLogged = false;
        return screens;
    }
    if (!m_monitorsLogged)
        logBackground(target.kind,
            QStringLiteral("the monitors cannot be found")
                + (why.isEmpty() ? QString() : QStringLiteral(" (") + why + QLatin1Char(')'))
                + (screens.isEmpty() ? QStringLiteral("; one picture of 1920x1080 is made")
                                     : QStringLiteral("; the screens Qt sees are used")));
    m_monitorsLogged = true;
    return screens;
}

void RenderControl::renderToRootWindow(ProcessLauncher& exec, bool hideApp, DesktopTarget& target)
{
    runRenderer(exec, hideApp);
    // Without an X display there is no root window to name; the renderer said so already.
    if (m_sequenceKilled || qEnvironmentVariableIsEmpty("DISPLAY"))
        return;
    if (exec.ResultCode() != 0) {
        logBackground(target.kind, renderFailure(exec) + kPreviousStays);
        return;
    }
    target.request.pictures = plannedPictures(PictureLayout::RootWindow, target.monitors);
    const QString error = target.backend->apply(target.request);
    if (!error.isEmpty()) {
        logBackground(target.kind, error);
        return;
    }
    showOnLockScreen(target);
    emit backgroundShown(target.summary);
    emit pictureFilesChanged({});
}

// Where the desktop has a lock screen picture of its own, when the user asks for it. A
// failure there leaves the desktop's new picture: one line says so.
void RenderControl::showOnLockScreen(const DesktopTarget& target)
{
    if (!m_settings.checked(ctl::cbLockScreen))
        return;
    if (!target.backend->hasLockScreen()) {
        if (!m_lockScreenLogged)
            logBackground(target.kind, QStringLiteral("this desktop's lock screen has no picture Globewall can set"));
        m_lockScreenLogged = true;
        return;
    }
    const QString error = target.backend->applyLockScreen(target.request);
    if (!error.isEmpty())
        logBackground(target.kind, QStringLiteral("lock screen: ") + error);
}

void RenderControl::renderToFiles(ProcessLauncher& exec, bool hideApp, DesktopTarget& target)
{
    PictureFiles files(m_pictureFolder.isEmpty() ? PictureFiles::defaultFolder() : m_pictureFolder);
    QString error;
    if (!files.prepare(&error)) {
        logBackground(target.kind, error);
        return;
    }
    const PictureLayout layout = target.backend->layout();
    const bool composes = layout == PictureLayout::Spanned || layout == PictureLayout::RootWindow;
    if (composes && composedTooLarge(target.monitors)) {
        if (!m_composeLimitLogged) {
            const QRect all = desktopRect(target.monitors);
            logBackground(target.kind,
                QStringLiteral("the monitors span %1x%2 pixels, more than one picture may hold; the first "
                               "monitor's picture is shown")
                    .arg(all.width())
                    .arg(all.height()));
        }
        m_composeLimitLogged = true;
    } else {
        m_composeLimitLogged = false;
    }
    target.request.pictures = plannedPictures(layout, target.monitors);
    if (!renderPictures(exec, hideApp, target, files))
        return;
    if (target.backend->layout() == PictureLayout::Spanned && target.request.pictures.size() > 1
        && !composeSpanned(target, files))
        return;

    error = target.backend->apply(target.request);
    if (!error.isEmpty() && target.backend->mayShowDespiteError()) {
        keepUnconfirmed(target, files, error);
        return;
    }
    if (!error.isEmpty()) {
        logBackground(target.kind, error);
        PictureFiles::discard(target.request.pictures);
        return;
    }
    m_unconfirmedLogged = false;
    m_confirmedPictures = target.request.pictures;
    showOnLockScreen(target);
    keepPictures(target.kind, target.request.pictures, target.backend->layout() != PictureLayout::RootWindow);
    // The root pixmap holds the composed pictures; the files are not needed.
    if (target.backend->layout() == PictureLayout::RootWindow)
        PictureFiles::discard(target.request.pictures);
    else
        files.keepOnly(target.request.pictures);
    if (target.debugLevel > 0)
        logBackground(target.kind,
            QStringLiteral("shows ") + QString::number(target.request.pictures.size())
                + QStringLiteral(" new picture(s)"));
    emit backgroundShown(target.summary);
}

// The desktop's keys were written but their read-back saw another value: the desktop may well
// show the new picture (deleting it left its fallback colour), or still the one confirmed before.
// Both stay; pictures between them, which nothing can show any more, go. Before any confirmed
// switch of this run nothing goes: the desktop may show one from the last run.
void RenderControl::keepUnconfirmed(DesktopTarget& target, PictureFiles& files, const QString& error)
{
    if (!m_unconfirmedLogged)
        logBackground(target.kind,
            error + QStringLiteral("; the new picture and the one before it are kept until a switch is confirmed"));
    m_unconfirmedLogged = true;
    showOnLockScreen(target);
    if (!m_confirmedPictures.isEmpty())
        files.keepOnly(target.request.pictures + m_confirmedPictures);
}

// Desktops that take one picture for all monitors get the monitors' pictures composed into
// one; the parts go either way.
bool RenderControl::composeSpanned(DesktopTarget& target, PictureFiles& files)
{
    const QVector<Picture> parts = target.request.pictures;
    Picture composed { QStringLiteral("desktop"), desktopRect(target.monitors), {} };
    composed.file = files.newFile(composed);
    QString error;
    m_composeStop.store(false);
    const bool done = composePicturesWhileProcessingEvents(parts, composed.file, &error, m_composeStop);
    PictureFiles::discard(parts);
    if (!done) {
        // Stopped by the user or the program's end: nothing went wrong.
        if (!m_composeStop.load())
            logBackground(
                target.kind, QStringLiteral("cannot compose the monitors' pictures: ") + error + kPreviousStays);
        PictureFiles::discard({ composed });
        return false;
    }
    target.request.pictures = { composed };
    return true;
}

bool RenderControl::renderPictures(ProcessLauncher& exec, bool hideApp, DesktopTarget& target, PictureFiles& files)
{
    QVector<Picture>& pictures = target.request.pictures;
    const QStringList base = exec.ExeParams();
    for (Picture& picture : pictures) {
        picture.file = files.newFile(picture);
        exec.ExeParams() = base;
        // After everything else, so these win over anything before them.
        exec.ExeParams() << QStringLiteral("-output ") + quoteArgument(picture.file, true)
                         << QStringLiteral("-geometry ") + QString::number(picture.geometry.width()) + QLatin1Char('x')
                + QString::number(picture.geometry.height());
        try {
            runRenderer(exec, hideApp);
        } catch (...) {
            PictureFiles::discard(pictures);
            throw;
        }
        if (m_sequenceKilled) {
            PictureFiles::discard(pictures);
            return false;
        }
        const QString broken = brokenPicture(exec, picture);
        if (!broken.isEmpty()) {
            logBackground(target.kind, broken + kPreviousStays);
            PictureFiles::discard(pictures);
            return false;
        }
    }
    return true;
}

} // namespace gw
