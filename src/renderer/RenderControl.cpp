#include "renderer/RenderControl.h"

#include "renderer/ParameterList.h"
#include "settings/SettingNames.h"
#include "settings/SettingsAccess.h"
#include "shared/AppState.h"
#include "shared/AtomicFile.h"
#include "shared/Clock.h"
#include "shared/Dialogs.h"
#include "shared/LogSink.h"
#include "shared/Paths.h"
#include "shared/TrayImage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <zlib.h>

namespace gw {

namespace {

    const QString kChooseRenderer = QStringLiteral("Please choose an Application to lauch");

    // A gzip file's content, or nothing when it is not one.
    QByteArray gunzip(const QByteArray& packed, bool* ok)
    {
        *ok = false;
        z_stream stream {};
        if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK)
            return {};
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.constData()));
        stream.avail_in = static_cast<uInt>(packed.size());
        QByteArray out;
        char buffer[16384];
        int rc = Z_OK;
        while (rc == Z_OK) {
            stream.next_out = reinterpret_cast<Bytef*>(buffer);
            stream.avail_out = sizeof buffer;
            rc = inflate(&stream, Z_NO_FLUSH);
            if (rc != Z_OK && rc != Z_STREAM_END)
                break;
            out.append(buffer, static_cast<qsizetype>(sizeof buffer - stream.avail_out));
        }
        inflateEnd(&stream);
        *ok = rc == Z_STREAM_END;
        return *ok ? out : QByteArray();
    }

} // namespace

// Marks a launcher as in a launch for the life of a scope, so kill finds it.
class RenderControl::LaunchScope
{
public:
    LaunchScope(RenderControl& owner, ProcessLauncher& exec)
        : m_owner(owner)
        , m_exec(exec)
    {
        m_owner.m_launching.append(&m_exec);
        m_waiting = QObject::connect(&m_exec, &ProcessLauncher::waitingChanged, &m_owner,
            [this](bool waiting) { m_owner.launcherWaiting(waiting); });
    }
    ~LaunchScope()
    {
        QObject::disconnect(m_waiting);
        m_owner.m_launching.removeOne(&m_exec);
    }
    LaunchScope(const LaunchScope&) = delete;
    LaunchScope& operator=(const LaunchScope&) = delete;

private:
    RenderControl& m_owner;
    ProcessLauncher& m_exec;
    QMetaObject::Connection m_waiting;
};

// The state of a render in progress; on every way out of it the busy flag is cleared, the
// kill entry disabled and the animation stopped, so later renders stay possible.
class RenderControl::RenderScope
{
public:
    explicit RenderScope(RenderControl& owner)
        : m_owner(owner)
    {
        m_owner.m_state.RenderBusy = true;
        m_owner.setKillEnabled(true);
    }
    ~RenderScope()
    {
        m_owner.stopAnimationUnlessOthersWait();
        m_owner.setKillEnabled(false);
        m_owner.m_state.RenderBusy = false;
    }
    RenderScope(const RenderScope&) = delete;
    RenderScope& operator=(const RenderScope&) = delete;

private:
    RenderControl& m_owner;
};

RenderControl::RenderControl(SettingsAccess& settings, AppState& state, LogSink& log, MessageWindowSink& messages,
    Dialogs& dialogs, TrayImage& tray, const Clock& clock, Callback restoreTransparency, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_state(state)
    , m_log(log)
    , m_messages(messages)
    , m_dialogs(dialogs)
    , m_tray(tray)
    , m_clock(clock)
    , m_restoreTransparency(std::move(restoreTransparency))
    , m_programFile(QCoreApplication::applicationFilePath())
{
    m_exec.setWait(true);
}

RenderControl::~RenderControl() = default;

RendererLayout RenderControl::layout() const
{
    return RendererLayout(m_settings.text(ctl::edtAppFile), m_home);
}

ProcessLauncher& RenderControl::freeLauncher(std::unique_ptr<ProcessLauncher>& spare)
{
    if (!m_exec.isWaiting())
        return m_exec;
    spare = std::make_unique<ProcessLauncher>();
    spare->setPriorityClass(m_exec.PriorityClass());
    return *spare;
}

// Tested in this order; with none selected the previous class holds.
void RenderControl::applyPriority(ProcessLauncher& exec) const
{
    if (m_settings.checked(ctl::rbIdle))
        exec.setPriorityClass(TPriorClass::pcIdle);
    else if (m_settings.checked(ctl::rbNormal))
        exec.setPriorityClass(TPriorClass::pcNormal);
    else if (m_settings.checked(ctl::rbHigh))
        exec.setPriorityClass(TPriorClass::pcHigh);
}

void RenderControl::setKillEnabled(bool on)
{
    if (m_killEnabled == on)
        return;
    m_killEnabled = on;
    emit killEnabledChanged(on);
}

void RenderControl::launcherWaiting(bool waiting)
{
    const bool before = m_waitingLaunchers > 0;
    m_waitingLaunchers += waiting ? 1 : -1;
    if (before != (m_waitingLaunchers > 0))
        emit waitingChanged(m_waitingLaunchers > 0);
}

void RenderControl::stopAnimationUnlessOthersWait()
{
    for (const ProcessLauncher* exec : std::as_const(m_launching))
        if (exec->isWaiting())
            return;
    m_tray.setAnimate(false);
}

void RenderControl::StartXPlanet(Trigger trigger)
{
    // A nested render would clear the flag of the one that waits.
    if (m_state.RenderBusy)
        return;
    while (renderOnce(trigger)) { }
}

// One pass of the render; true when a renderer was just chosen and the render starts again.
bool RenderControl::renderOnce(Trigger trigger)
{
    std::unique_ptr<ProcessLauncher> spare;
    ProcessLauncher& exec = freeLauncher(spare);
    RenderScope render(*this);
    LaunchScope launch(*this, exec);

    const bool hideApp = m_settings.checked(ctl::cbHideApp);
    exec.setRedirectOutput(!hideApp);
    applyPriority(exec);
    exec.setWait(true);

    const QString before = m_settings.text(ctl::edtExecuteBefore);
    if (m_settings.checked(ctl::cbExecuteBefore) && QFileInfo(before).isFile()) {
        m_tray.setAnimate(true);
        exec.setExeName(before);
        exec.setExePath(folderOf(before));
        exec.ExeParams().clear();
        exec.Execute();
        stopAnimationUnlessOthersWait();
    }

    const QString appFile = m_settings.text(ctl::edtAppFile);
    if (QFileInfo(appFile).isFile()) {
        const RendererLayout folders = layout();
        m_tray.setAnimate(true);
        exec.setExeName(appFile);
        // The renderer runs in its own per-user folder, which it searches by itself and the
        // user owns, so the capture files can be written there.
        QDir().mkpath(folders.rendererFolder());
        exec.setExePath(folders.rendererFolder());
        exec.ExeParams().clear();
        if (m_settings.checked(ctl::rbStringParameter))
            exec.ExeParams() << m_settings.text(ctl::edtParameter);
        exec.ExeParams() << GenParameterListFromNewEasy(m_settings, folders);
        renderForDesktop(exec, hideApp);
        if (m_settings.checked(ctl::cbRestoreTrans) && m_restoreTransparency)
            m_restoreTransparency();
        stopAnimationUnlessOthersWait();
        if (!m_settings.checked(ctl::Globewallenabled) && m_tray.imageCount() > 0)
            m_tray.setFrameIndex(m_tray.imageCount() - 1);
        return false;
    }

    // No renderer. Cancelling the choice is the way out: the render ends, and renders of the
    // scheduler stay quiet about this path until the user renders or chooses again.
    if (trigger == Trigger::Background && m_hasDeclined && m_declinedAppFile == appFile)
        return false;
    m_dialogs.message(MessageKind::Information, kChooseRenderer);
    if (btnAppFileClick())
        return true;
    m_hasDeclined = true;
    m_declinedAppFile = appFile;
    m_log.appendLine(DateTimeToStr(m_clock.now()) + QStringLiteral(" - No renderer chosen; timed renders wait until ")
        + QStringLiteral("one is chosen on the page \"General\"."));
    return false;
}

void RenderControl::ExecuteFile(const QString& path)
{
    std::unique_ptr<ProcessLauncher> spare;
    ProcessLauncher& exec = freeLauncher(spare);
    LaunchScope launch(*this, exec);

    exec.ExeParams().clear();
    applyPriority(exec);
    exec.setWait(true);
    exec.setRedirectOutput(false);
    exec.setExePath(folderOf(path));
    exec.setExeName(QFileInfo(path).fileName());

    m_tray.setAnimate(true);
    try {
        exec.Execute();
    } catch (...) {
        stopAnimationUnlessOthersWait();
        throw;
    }
    stopAnimationUnlessOthersWait();
}

void RenderControl::btnExecuteClick()
{
    if (m_state.DownloadBusy || m_state.RenderBusy)
        return;
    StartXPlanet(Trigger::User);
}

void RenderControl::pmStartNowClick()
{
    btnExecuteClick();
}

void RenderControl::pmKillNowClick()
{
    if (m_state.RenderBusy)
        m_sequenceKilled = true;
    m_composeStop.store(true);
    for (ProcessLauncher* exec : std::as_const(m_launching))
        exec->Kill();
    if (m_exec.isWaiting())
        m_exec.Kill();
}

bool RenderControl::btnAppFileClick()
{
    const QString current = m_settings.text(ctl::edtAppFile);
    FileDialogRequest request;
    // The Linux renderer file has no extension: the filter and proposed name follow that.
    request.title = QStringLiteral("select xplanet");
    request.proposedFile = QStringLiteral("xplanet");
    request.filter = QStringLiteral("xplanet|xplanet|All files (*)|*");
    request.startFolder = current.isEmpty() ? folderOf(m_programFile) : folderOf(current);
    const QString chosen = m_dialogs.getOpenFile(request);
    if (chosen.isEmpty())
        return false;

    m_settings.setText(ctl::edtAppFile, chosen);
    emit appFileHintChanged(chosen);

    const QString images = RendererLayout(chosen, m_home).imagesFolder();
    const QString destination = m_settings.text(ctl::edtFileDestination);
    if (!destination.toUpper().contains(images.toUpper())) {
        const QString question = QStringLiteral("Change the download destination path\nfrom: ") + destination
            + QStringLiteral("\nto: ") + images;
        if (m_dialogs.askOkCancel(MessageKind::Confirmation, question)) {
            const QString address = m_settings.text(ctl::edtWebAdress);
            const qsizetype cut
                = std::max(address.lastIndexOf(QLatin1Char('/')), address.lastIndexOf(QLatin1Char('\\')));
            m_settings.setText(ctl::edtFileDestination, images + address.mid(cut + 1));
        }
    }
    return true;
}

void RenderControl::btnExecuteBeforeClick()
{
    const QString current = m_settings.text(ctl::edtExecuteBefore);
    FileDialogRequest request;
    request.title = QStringLiteral("select file to be executed before rendering");
    request.proposedFile = current;
    // Linux programs mostly have no extension, so "all files" must match names without a dot,
    // and it is the filter shown first.
    request.filter = QStringLiteral("Executebles (*.sh)|*.sh|All files (*)|*");
    request.selectedFilter = 1;
    request.startFolder = folderOf(current);
    const QString chosen = m_dialogs.getOpenFile(request);
    if (!chosen.isEmpty())
        m_settings.setText(ctl::edtExecuteBefore, chosen);
}

QString RenderControl::unpackedReadme(const QString& gzFile) const
{
    QFile in(gzFile);
    if (!in.open(QIODevice::ReadOnly))
        return {};
    bool ok = false;
    const QByteArray text = gunzip(in.readAll(), &ok);
    if (!ok)
        return {};
    QString folder
        = m_cacheFolder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::CacheLocation) : m_cacheFolder;
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return {};
    // A ".txt" name, so the desktop opens it with its text editor.
    const QString target = QDir(folder).filePath(QStringLiteral("xplanet-README.txt"));
    return writeFileAtomically(target, text, nullptr) ? target : QString();
}

void RenderControl::btnInfoClick()
{
    QString readme = layout().readmeFile();
    if (readme.endsWith(QStringLiteral(".gz")))
        readme = unpackedReadme(readme);
    if (!readme.isEmpty() && m_opener)
        m_opener(readme);
}

} // namespace gw
