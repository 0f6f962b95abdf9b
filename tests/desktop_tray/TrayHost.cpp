// A minimal window with the real tray component and handlers, run as its own process on a
// private X server so tests can click the tray icon like a person would. It prints its state
// on every change ("enabled=1 frame=0 window=shown menu=hidden icon=x,y,w,h pos=x,y timer=0
// saver=0", the last being what the scheduler would learn of the screensaver) and
// takes commands on standard input ("animate on", "animate off", "quit").
// "--sheet FILE" instead writes every frame of both lists at every tray size into one picture
// and ends, for looking at the pixel art.
#include "desktop/TrayHandlers.h"
#include "desktop/TrayIcon.h"
#include "desktop/WindowScreensaver.h"
#include "scheduler/SystemState.h"
#include "settings/MemorySettings.h"

#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <unistd.h>

namespace {
int writeSheet(const QString& file)
{
    const gw::ImageList lists[] = { gw::makeDrehenderGlobus(), gw::makeGlobusProzent() };
    int height = 0;
    for (int s : gw::TrayIconSizes)
        height += 2 * (s + 4);
    QImage sheet(26 * 52, height, QImage::Format_ARGB32);
    sheet.fill(QColor(200, 200, 200));
    QPainter p(&sheet);
    int y = 0;
    for (const gw::ImageList& list : lists) {
        for (int s : gw::TrayIconSizes) {
            for (int i = 0; i < list.count(); ++i)
                p.drawPixmap(i * 52, y, list.image(i).pixmap(s, s));
            y += s + 4;
        }
    }
    p.end();
    return sheet.save(file) ? 0 : 1;
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (const qsizetype at = app.arguments().indexOf(QStringLiteral("--sheet"));
        at > 0 && at + 1 < app.arguments().size())
        return writeSheet(app.arguments().at(at + 1));
    QApplication::setApplicationName(QStringLiteral("Globewall"));
    QApplication::setQuitOnLastWindowClosed(false);
    const bool startParked = app.arguments().contains(QStringLiteral("--parked"));

    gw::MemorySettings settings;
    gw::SystemClock clock;
    gw::SystemState system(settings, clock, {}, gw::windowScreensaverQuery());
    QWidget window;
    window.setWindowTitle(QStringLiteral("Globewall host"));
    window.resize(300, 200);

    QMenu menu;
    menu.addAction(QStringLiteral("show Window"));
    menu.addSeparator();
    menu.addAction(QStringLiteral("render now"));
    menu.addSeparator();
    QAction* enabled = menu.addAction(QStringLiteral("Globewall enabled"));
    enabled->setCheckable(true);
    enabled->setChecked(true);
    menu.addSeparator();
    menu.addAction(QStringLiteral("close"));
    bool menuShown = false;
    QObject::connect(&menu, &QMenu::aboutToShow, [&] { menuShown = true; });
    QObject::connect(&menu, &QMenu::aboutToHide, [&] { menuShown = false; });

    gw::TrayIcon tray;
    tray.setMainWindow(&window);
    tray.setRightClickPopup(&menu);
    gw::WidgetWindowControl control(window, tray);
    gw::TrayHandlers handlers(tray, settings, control);

    if (startParked) {
        window.move(100, 2000);
        window.show();
        control.minimizeApp();
    } else {
        window.move(20, 60);
        window.show();
    }
    handlers.showTrayIcon();
    handlers.setUpAnimation();
    tray.setFrameIndex(0);

    QString last;
    QTimer reporter;
    QObject::connect(&reporter, &QTimer::timeout, [&] {
        const QRect icon = tray.systemTrayIcon().geometry();
        const QString state
            = QStringLiteral("enabled=%1 frame=%2 window=%3 menu=%4 icon=%5,%6,%7,%8 pos=%9,%10 timer=%11 saver=%12")
                  .arg(settings.checked(QStringLiteral("Globewallenabled")) ? 1 : 0)
                  .arg(tray.FrameIndex())
                  .arg(window.isVisible() ? QStringLiteral("shown") : QStringLiteral("hidden"))
                  .arg(menuShown ? QStringLiteral("shown") : QStringLiteral("hidden"))
                  .arg(icon.x())
                  .arg(icon.y())
                  .arg(icon.width())
                  .arg(icon.height())
                  .arg(window.x())
                  .arg(window.y())
                  .arg(handlers.TimerDoubleClick().isActive() ? 1 : 0)
                  .arg(system.ScreensaverRunning() ? 1 : 0);
        if (state != last && !tray.Animate()) {
            last = state;
            std::printf("%s\n", qPrintable(state));
            std::fflush(stdout);
        }
    });
    reporter.start(20);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer - 1);
        if (n <= 0) {
            QApplication::quit();
            return;
        }
        const QString command = QString::fromLatin1(buffer, static_cast<int>(n)).trimmed();
        if (command == QLatin1String("animate on"))
            tray.setAnimate(true);
        else if (command == QLatin1String("animate off"))
            tray.setAnimate(false);
        else if (command == QLatin1String("quit"))
            QApplication::quit();
        std::printf("ack %s\n", qPrintable(command));
        std::fflush(stdout);
    });
    return app.exec();
}
