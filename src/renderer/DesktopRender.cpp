// The renders of one StartXPlanet and the switch of the desktop background: where the picture
// goes is chosen on the page "General" ("automatic" asks the session). The root window is
// painted by the renderer as it always was; every other desktop gets files, one per monitor
// where it can show one per monitor, each rendered at its monitor's size one after another.
#include "renderer/RenderControl.h"

#include "background/DesktopBackend.h"
#include "background/PictureFiles.h"
#include "renderer/CommandLine.h"
#include "settings/SettingNames.h"
#include "settings/SettingsAccess.h"
#include "shared/AppState.h"
#include "shared/Clock.h"
#include "shared/DateTime.h"
#include "shared/LogSink.h"

#include <QFileInfo>

namespace gw {

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

RenderControl::DesktopTarget RenderControl::desktopTarget() const
{
    DesktopTarget target;
    desktopFromCaption(m_settings.text(ctl::ddbDesktopBackground), &target.kind);
    if (target.kind == DesktopKind::Automatic)
        target.kind = detectedDesktop();
    target.backend = makeBackend(target.kind);
    target.monitors = m_monitors ? m_monitors() : MonitorList();
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

void RenderControl::renderToRootWindow(ProcessLauncher& exec, bool hideApp, DesktopTarget& target)
{
    runRenderer(exec, hideApp);
    // Without an X display there is no root window to name; the renderer said so already.
    if (m_sequenceKilled || qEnvironmentVariableIsEmpty("DISPLAY"))
        return;
    target.request.pictures = plannedPictures(PictureLayout::RootWindow, target.monitors);
    const QString error = target.backend->apply(target.request);
    if (!error.isEmpty())
        logBackground(target.kind, error);
    else
        emit backgroundShown(target.summary);
    emit pictureFilesChanged({});
}

void RenderControl::renderToFiles(ProcessLauncher& exec, bool hideApp, DesktopTarget& target)
{
    PictureFiles files(m_pictureFolder.isEmpty() ? PictureFiles::defaultFolder() : m_pictureFolder);
    QString error;
    if (!files.prepare(&error)) {
        logBackground(target.kind, error);
        return;
    }
    target.request.pictures = plannedPictures(target.backend->layout(), target.monitors);
    if (!renderPictures(exec, hideApp, target, files))
        return;

    error = target.backend->apply(target.request);
    if (!error.isEmpty()) {
        logBackground(target.kind, error);
        PictureFiles::discard(target.request.pictures);
        return;
    }
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

bool RenderControl::renderPictures(ProcessLauncher& exec, bool hideApp, DesktopTarget& target, PictureFiles& files)
{
    QVector<Picture>& pictures = target.request.pictures;
    const QStringList base = exec.ExeParams();
    for (Picture& picture : pictures) {
        picture.file = files.newFile(picture.monitor);
        exec.ExeParams() = base;
        // After everything else, so these win over anything before them.
        exec.ExeParams() << QStringLiteral("-output \"") + picture.file + QLatin1Char('"')
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
        if (!QFileInfo(picture.file).isFile()) {
            logBackground(target.kind,
                QStringLiteral("the renderer wrote no picture (exit code ") + QString::number(exec.ResultCode())
                    + QStringLiteral(")"));
            PictureFiles::discard(pictures);
            return false;
        }
    }
    return true;
}

} // namespace gw
