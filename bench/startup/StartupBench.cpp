// Start-up time and peak memory of the built program against a minimal Qt Widgets program
// with as many widgets of the same kinds (counted from the main window's form), both on a
// private X server with trayer as the notification area. Runs alternate; each starts in an
// empty folder with a fresh HOME.
//
// Start-up time is measured from the start of the process until its main window is mapped
// on the screen, seen by this program as the X server's MapNotify event. The program shows
// its window in its start-up step, 200 ms after its event loop has started, so the reference
// program shows its window the same way: the ratio compares the work done, not that pause.
// Peak memory is VmHWM two seconds after the window appeared, and again after every page of
// the window was opened once (clicked along the tab bars with xdotool, as the user would).
// Both programs run with a private session bus, as in a desktop session.
//
//   bench_startup [runs]        (default 5)
#include "support/BenchSupport.h"
#include "support/ShippedProgram.h"
#include "support/XvfbFixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <QXmlStreamReader>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <vector>

// Xlib's macros clash with Qt's names: included last.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

using gwbench::median;

const char* const kForm = GW_SOURCE_DIR "/src/app/MainWindow.ui";
const char* const kProgram = GW_BINARY_DIR "/src/app/Globewall";
const char* const kCaption = "Globewall by Quillmoor";
const char* const kReferenceCaption = "reference";

// The widget classes of the form, one entry per widget below the main window.
QStringList formWidgetClasses()
{
    QFile f(QString::fromUtf8(kForm));
    QStringList classes;
    if (!f.open(QIODevice::ReadOnly))
        return classes;
    QXmlStreamReader xml(&f);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("widget"))
            classes << xml.attributes().value(QLatin1String("class")).toString();
    }
    classes.removeAll(QStringLiteral("QMainWindow"));
    return classes;
}

// The nearest stock widget for each class of the form.
QWidget* makeWidget(const QString& cls, int n)
{
    const QString text = QStringLiteral("widget %1").arg(n);
    if (cls == QLatin1String("QPushButton"))
        return new QPushButton(text);
    if (cls == QLatin1String("QLabel") || cls.endsWith(QLatin1String("LinkLabel")))
        return new QLabel(text);
    if (cls == QLatin1String("QCheckBox"))
        return new QCheckBox(text);
    if (cls == QLatin1String("QRadioButton"))
        return new QRadioButton(text);
    if (cls == QLatin1String("QLineEdit"))
        return new QLineEdit(text);
    if (cls.endsWith(QLatin1String("SpinEdit")) || cls == QLatin1String("QSpinBox"))
        return new QSpinBox;
    if (cls == QLatin1String("QGroupBox"))
        return new QGroupBox(text);
    if (cls == QLatin1String("QComboBox")) {
        auto* c = new QComboBox;
        c->addItems({ text, text + QStringLiteral(" b") });
        return c;
    }
    if (cls == QLatin1String("QPlainTextEdit"))
        return new QPlainTextEdit(text);
    if (cls == QLatin1String("QListWidget"))
        return new QListWidget;
    if (cls == QLatin1String("QTableWidget"))
        return new QTableWidget(49, 2);
    if (cls == QLatin1String("QTabWidget"))
        return new QTabWidget;
    if (cls == QLatin1String("QStatusBar"))
        return new QStatusBar;
    return new QWidget;
}

// The reference: a main window of the form's size holding the same number of widgets of the
// same kinds on four pages, and a tray icon; shown 200 ms after the event loop starts.
int runReference(QApplication& app)
{
    const QStringList classes = formWidgetClasses();
    QMainWindow window;
    window.setWindowTitle(QString::fromLatin1(kReferenceCaption));
    auto* tabs = new QTabWidget;
    QList<QVBoxLayout*> pages;
    for (const char* title : { "General", "Parameter", "Download settings", "Time Sync" }) {
        auto* page = new QWidget;
        pages << new QVBoxLayout(page);
        tabs->addTab(page, QString::fromLatin1(title));
    }
    for (int i = 0; i < classes.size(); ++i)
        pages[i % pages.size()]->addWidget(makeWidget(classes[i], i));
    window.setCentralWidget(tabs);
    window.resize(481, 582);

    QPixmap pm(22, 22);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setBrush(QColor(30, 90, 200));
    p.drawEllipse(1, 1, 20, 20);
    p.end();
    QSystemTrayIcon icon { QIcon(pm) };
    icon.show();
    QTimer::singleShot(200, &window, [&window] { window.show(); });
    return app.exec();
}

long peakKb(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

struct Sample
{
    double ms = -1;
    long kb = -1;
    long pagesKb = -1;
};

QString g_bus;

void xdotool(const QString& display, const QStringList& args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("xdotool"), args);
    p.waitForFinished(10000);
}

// Clicks along the page tabs at the top of the window, then along the "Parameter" page's own
// tabs (the positions the end-to-end tests use); the plain program's tabs lie at the same place.
void openEveryPage(const QString& display, unsigned long window)
{
    const QString id = QString::number(window);
    const auto clickAt = [&](int x, int y) {
        xdotool(display,
            { QStringLiteral("mousemove"), QStringLiteral("--window"), id, QString::number(x), QString::number(y),
                QStringLiteral("click"), QStringLiteral("1") });
        QThread::msleep(150);
    };
    for (int x = 10; x <= 430; x += 20)
        clickAt(x, 17);
    clickAt(120, 17);
    for (int x = 20; x <= 430; x += 20)
        clickAt(x, 47);
    clickAt(30, 17);
    QThread::msleep(500);
}

// Starts one program and waits for its window by the X server's own notification.
Sample measure(const QString& program, const QStringList& args, const char* caption, const QString& display)
{
    Display* dpy = XOpenDisplay(display.toLatin1().constData());
    if (!dpy)
        return {};
    XSelectInput(dpy, DefaultRootWindow(dpy), SubstructureNotifyMask);
    XSync(dpy, False);

    QTemporaryDir dir;
    for (const char* sub : { "bin", "home/.config", "runtime" })
        QDir().mkpath(dir.filePath(QString::fromLatin1(sub)));
    QFile::setPermissions(
        dir.filePath(QStringLiteral("runtime")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QString exe = program;
    if (program == QLatin1String(kProgram)) {
        // A private copy: its settings go beside it, into the empty folder.
        exe = dir.filePath(QStringLiteral("bin/Globewall"));
        QFile::copy(program, exe);
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("HOME"), dir.filePath(QStringLiteral("home")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("home/.config")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.filePath(QStringLiteral("runtime")));
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    env.insert(QStringLiteral("TMPDIR"), dir.path());
    if (!g_bus.isEmpty())
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), g_bus);
    QProcess p;
    p.setProcessEnvironment(env);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());

    Sample s;
    unsigned long window = 0;
    QElapsedTimer t;
    t.start();
    p.start(exe, args);
    const QDeadlineTimer deadline(30000);
    while (s.ms < 0 && !deadline.hasExpired()) {
        if (!XPending(dpy)) {
            pollfd fd { ConnectionNumber(dpy), POLLIN, 0 };
            poll(&fd, 1, 20);
            continue;
        }
        XEvent e;
        XNextEvent(dpy, &e);
        if (e.type != MapNotify)
            continue;
        char* name = nullptr;
        if (XFetchName(dpy, e.xmap.window, &name) && name) {
            if (qstrcmp(name, caption) == 0) {
                s.ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
                window = e.xmap.window;
            }
            XFree(name);
        }
    }
    XCloseDisplay(dpy);
    if (s.ms >= 0) {
        QThread::sleep(2);
        s.kb = peakKb(p.processId());
        openEveryPage(display, window);
        s.pagesKb = peakKb(p.processId());
    }
    p.terminate();
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished(5000);
    }
    return s;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--reference") == 0) {
        QApplication app(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
        return runReference(app);
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    const int widgets = static_cast<int>(formWidgetClasses().size());
    if (widgets == 0 || !QFile::exists(QString::fromUtf8(kProgram))) {
        std::fprintf(stderr, "the form or the program is missing\n");
        return 1;
    }

    gwtest::XvfbServer xvfb;
    if (!xvfb.start()) {
        std::fprintf(stderr, "no X server: %s\n", qPrintable(xvfb.error()));
        return 1;
    }
    QProcess trayer;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), xvfb.display());
    trayer.setProcessEnvironment(env);
    trayer.setStandardOutputFile(QProcess::nullDevice());
    trayer.setStandardErrorFile(QProcess::nullDevice());
    trayer.start(QStringLiteral("trayer"),
        { QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--height"), QStringLiteral("24"),
            QStringLiteral("--widthtype"), QStringLiteral("request") });
    trayer.waitForStarted(10000);
    QThread::msleep(500);

    gwbench::SessionBus bus;
    if (!bus.start()) {
        std::fprintf(stderr, "no session bus: dbus-daemon did not start\n");
        return 1;
    }
    g_bus = bus.address();
    std::vector<double> ourMs, refMs, ourKb, refKb, ourPagesKb, refPagesKb;
    std::printf("%-6s %14s %14s %12s %12s %14s %14s\n", "run", "Globewall ms", "reference ms", "Globewall kB",
        "reference kB", "all pages: ours", "reference");
    for (int i = 0; i < runs; ++i) {
        Sample ours, ref;
        const QString self = QCoreApplication::applicationFilePath();
        if (i % 2 == 0) {
            ours = measure(QString::fromUtf8(kProgram), {}, kCaption, xvfb.display());
            ref = measure(self, { QStringLiteral("--reference") }, kReferenceCaption, xvfb.display());
        } else {
            ref = measure(self, { QStringLiteral("--reference") }, kReferenceCaption, xvfb.display());
            ours = measure(QString::fromUtf8(kProgram), {}, kCaption, xvfb.display());
        }
        if (ours.ms < 0 || ref.ms < 0) {
            std::fprintf(stderr, "a window did not appear\n");
            return 1;
        }
        std::printf("%-6d %14.1f %14.1f %12ld %12ld %14ld %14ld\n", i + 1, ours.ms, ref.ms, ours.kb, ref.kb,
            ours.pagesKb, ref.pagesKb);
        std::fflush(stdout);
        ourPagesKb.push_back(static_cast<double>(ours.pagesKb));
        refPagesKb.push_back(static_cast<double>(ref.pagesKb));
        ourMs.push_back(ours.ms);
        refMs.push_back(ref.ms);
        ourKb.push_back(static_cast<double>(ours.kb));
        refKb.push_back(static_cast<double>(ref.kb));
    }
    trayer.kill();
    trayer.waitForFinished(5000);
    const double a = median(ourMs), b = median(refMs), c = median(ourKb), d = median(refKb);
    std::printf(
        "start-up until the window is mapped: Globewall %.1f ms, reference with %d widgets %.1f ms, ratio %.2f\n", a,
        widgets, b, a / b);
    std::printf("  without the 200 ms pause both make before showing: %.1f ms and %.1f ms, ratio %.2f\n", a - 200,
        b - 200, (a - 200) / (b - 200));
    std::printf("peak memory (VmHWM): Globewall %.0f kB, reference %.0f kB, ratio %.2f\n", c, d, c / d);
    const double e = median(ourPagesKb), f = median(refPagesKb);
    std::printf("peak memory after every page was opened once: Globewall %.0f kB, reference %.0f kB, ratio %.2f\n", e,
        f, e / f);
    return 0;
}
