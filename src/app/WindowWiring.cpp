// The main window's own state in the settings: its place and size, kept at each save and taken
// back by the start-up step, and what its close box does where a notification area could keep
// the program running. And the tray's way to the picture on the desktop.
#include "app/AppCore.h"
#include "app/MainWindow.h"
#include "app/TransferLog.h"
#include "app/WidgetSettings.h"
#include "app/WindowPlacement.h"
#include "desktop/DesktopUtility.h"
#include "renderer/RenderControl.h"
#include "settings/SettingNames.h"
#include "shared/DateTime.h"
#include "shared/Dialogs.h"

#include "ui_MainWindow.h"

#include <QFileInfo>

namespace gw {

namespace {
    const QString KeepRunning = QStringLiteral("keep running");
    const QString Quit = QStringLiteral("quit");
} // namespace

const QString AppCore::WithoutTrayHint = QStringLiteral(
    "Globewall keeps running without a window: this desktop has no notification area to show its icon in. "
    "To get the window back, start Globewall from the menu again, or run \"Globewall --show\".");

// Where the desktop shows a picture from a file, the tray menu opens it and its folder with the
// desktop's default applications; where the renderer painted the root window, there is none.
void AppCore::wirePictureItems()
{
    Ui::MainWindow* ui = m_window->ui();
    QAction* picture = ui->pmOpenPicture;
    QAction* folder = ui->pmOpenPictureFolder;
    connect(m_render.get(), &RenderControl::pictureFilesChanged, this, [picture, folder](const QStringList& files) {
        const QString file = files.value(0);
        picture->setData(file);
        folder->setData(file.isEmpty() ? QString() : QFileInfo(file).absolutePath());
        picture->setVisible(!file.isEmpty());
        folder->setVisible(!file.isEmpty());
    });
    DesktopUtility* utility = m_desktopUtility.get();
    on(picture, &QAction::triggered, [utility, picture] { utility->openWithDefault(picture->data().toString()); });
    on(folder, &QAction::triggered, [utility, folder] { utility->openWithDefault(folder->data().toString()); });
}

// A window never placed on the desktop (a start in the tray that was never opened) leaves the
// saved place as it was.
void AppCore::storeWindowState()
{
    const std::optional<SavedPlacement> now = m_window->placement();
    if (!now)
        return;
    m_settings->setText(ctl::WindowScreen, now->screen);
    m_settings->setInteger(ctl::WindowLeft, now->topLeft.x());
    m_settings->setInteger(ctl::WindowTop, now->topLeft.y());
    m_settings->setInteger(ctl::WindowWidth, now->size.width());
    m_settings->setInteger(ctl::WindowHeight, now->size.height());
}

SavedPlacement AppCore::savedPlacement() const
{
    return { m_settings->text(ctl::WindowScreen),
        QPoint(m_settings->integer(ctl::WindowLeft), m_settings->integer(ctl::WindowTop)),
        QSize(m_settings->integer(ctl::WindowWidth), m_settings->integer(ctl::WindowHeight)) };
}

// A window hidden where no notification area shows the icon seems to have ended the program. The
// way back is said once ever, in the log and its status line (and so in a notification where
// those are on); never in a box, which would hold up a start from autostart until clicked.
void AppCore::wireHiddenWithoutTray()
{
    on(m_window.get(), &MainWindow::hiddenWithoutTray, [this] {
        if (m_settings->checked(ctl::ToldHowToComeBack))
            return;
        m_settings->setChecked(ctl::ToldHowToComeBack, true);
        m_transferLog->appendLine(DateTimeToStr(m_clock->now()) + QStringLiteral(" - ") + WithoutTrayHint);
    });
}

// Closing the window used to stop the wallpaper without a word. Where a notification area can
// keep the program, the first close box asks; the answer may be kept for good.
bool AppCore::closeBoxEndsProgram()
{
    if (!m_window->trayAvailable())
        return true;
    const QString rule = m_settings->text(ctl::CloseBox);
    if (rule == Quit)
        return true;
    if (rule != KeepRunning) {
        ChoiceRequest question;
        question.text = QStringLiteral("Globewall keeps your desktop up to date only while it runs. Keep it running "
                                       "in the notification area?");
        question.first = QStringLiteral("Keep running");
        question.second = QStringLiteral("Quit");
        question.checkBox = QStringLiteral("Do not ask again");
        // Closed unanswered means as Escape does: keep running.
        const ChoiceAnswer answer = dialogs().askChoice(question);
        const bool quit = answer.button == ChoiceAnswer::Button::Second;
        if (answer.checked && answer.button != ChoiceAnswer::Button::None)
            m_settings->setText(ctl::CloseBox, quit ? Quit : KeepRunning);
        if (quit)
            return true;
    }
    m_window->Minimieren();
    return false;
}

} // namespace gw
