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

void RenderControl::renderForDesktop(ProcessLauncher& exec, bool hideApp)
{
    m_sequenceKilled = false;
    // The user's own parameters may already say where the picture goes: they win.
    if (m_settings.checked(ctl::rbStringParameter)
        && argumentsChooseOutput(splitArguments(m_settings.text(ctl::edtParameter)))) {
        if (!m_ownOutputLogged)
            m_log.appendLine(DateTimeToStr(m_clock.now())
                + QStringLiteral(" - Desktop background: the additional parameters choose the output "
                                 "(-output, -geometry, -window or -root), so none is added"));
        m_ownOutputLogged = true;
        runRenderer(exec, hideApp);
        return;
    }
    m_ownOutputLogged = false;

    DesktopKind kind = DesktopKind::Automatic;
    desktopFromCaption(m_settings.text(ctl::ddbDesktopBackground), &kind);
    if (kind == DesktopKind::Automatic)
        kind = detectedDesktop();
    const std::unique_ptr<DesktopBackend> backend = makeBackend(kind);
    const MonitorList monitors = m_monitors ? m_monitors() : MonitorList();
    const int debugLevel = m_settings.integer(ctl::DebugLevel);
    const QString summary = QStringLiteral("desktop: ") + desktopCaption(kind) + QStringLiteral(", ")
        + QString::number(std::max<qsizetype>(monitors.size(), 1))
        + (monitors.size() > 1 ? QStringLiteral(" monitors") : QStringLiteral(" monitor"));

    ApplyRequest request;
    request.command = splitArguments(m_settings.text(ctl::edtBackgroundCommand));
    request.timeoutMs = m_applyTimeLimit;
    request.monitors = static_cast<int>(std::max<qsizetype>(monitors.size(), 1));

    if (backend->layout() == PictureLayout::RootWindow && monitors.size() <= 1) {
        runRenderer(exec, hideApp);
        // Without an X display there is no root window to name; the renderer said so already.
        if (m_sequenceKilled || qEnvironmentVariableIsEmpty("DISPLAY"))
            return;
        request.pictures = plannedPictures(PictureLayout::RootWindow, monitors);
        const QString error = backend->apply(request);
        if (!error.isEmpty())
            logBackground(kind, error);
        else
            emit backgroundShown(summary);
        return;
    }

    PictureFiles files(m_pictureFolder.isEmpty() ? PictureFiles::defaultFolder() : m_pictureFolder);
    QString error;
    if (!files.prepare(&error)) {
        logBackground(kind, error);
        return;
    }
    request.pictures = plannedPictures(backend->layout(), monitors);
    const QStringList base = exec.ExeParams();
    for (Picture& picture : request.pictures) {
        picture.file = files.newFile(picture.monitor);
        exec.ExeParams() = base;
        // After everything else, so these win over anything before them.
        exec.ExeParams() << QStringLiteral("-output \"") + picture.file + QLatin1Char('"')
                         << QStringLiteral("-geometry ") + QString::number(picture.geometry.width()) + QLatin1Char('x')
                + QString::number(picture.geometry.height());
        try {
            runRenderer(exec, hideApp);
        } catch (...) {
            PictureFiles::discard(request.pictures);
            throw;
        }
        if (m_sequenceKilled) {
            PictureFiles::discard(request.pictures);
            return;
        }
        if (!QFileInfo(picture.file).isFile()) {
            logBackground(kind,
                QStringLiteral("the renderer wrote no picture (exit code ") + QString::number(exec.ResultCode())
                    + QStringLiteral(")"));
            PictureFiles::discard(request.pictures);
            return;
        }
    }

    error = backend->apply(request);
    if (!error.isEmpty()) {
        logBackground(kind, error);
        PictureFiles::discard(request.pictures);
        return;
    }
    // The root pixmap holds the composed pictures; the files are not needed.
    if (backend->layout() == PictureLayout::RootWindow)
        PictureFiles::discard(request.pictures);
    else
        files.keepOnly(request.pictures);
    if (debugLevel > 0)
        logBackground(kind,
            QStringLiteral("shows ") + QString::number(request.pictures.size()) + QStringLiteral(" new picture(s)"));
    emit backgroundShown(summary);
}

} // namespace gw
