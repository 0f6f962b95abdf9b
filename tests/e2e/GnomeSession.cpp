#include "GnomeSession.h"

#include <QDBusMessage>
#include <QDBusVariant>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>

namespace gwe2e {

namespace {
    const char* const kScript = "/work/shared/desktops/gnome-headless.sh";

    QString run(const QString& program, const QStringList& arguments, const QProcessEnvironment& env, int* code)
    {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(program, arguments);
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
        }
        *code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        return QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError()).trimmed();
    }
} // namespace

GnomeSession::~GnomeSession()
{
    QDBusConnection::disconnectFromBus(QStringLiteral("gwtest-gnome"));
    if (m_started) {
        int code = 0;
        run(QStringLiteral("bash"), { m_script, QStringLiteral("stop"), m_dir.path() },
            QProcessEnvironment::systemEnvironment(), &code);
    }
}

bool GnomeSession::start()
{
    m_script = qEnvironmentVariable("GW_GNOME_HEADLESS", QString::fromLatin1(kScript));
    if (!QFileInfo::exists(m_script))
        return m_error = QStringLiteral("no start script at ") + m_script, false;
    if (QStandardPaths::findExecutable(QStringLiteral("gnome-shell")).isEmpty())
        return m_error = QStringLiteral("gnome-shell is not installed (scripts/setup)"), false;
    int code = 0;
    const QString said = run(QStringLiteral("bash"),
        { m_script, QStringLiteral("start"), m_dir.path(), QStringLiteral("1280x720"), QStringLiteral("1024x768") },
        QProcessEnvironment::systemEnvironment(), &code);
    m_started = true;
    if (code != 0)
        return m_error = QStringLiteral("GNOME Shell did not start: ") + said, false;
    // env.sh: lines of `export NAME='value' ...`.
    QFile envFile(m_dir.file(QStringLiteral("env.sh")));
    if (!envFile.open(QIODevice::ReadOnly))
        return m_error = QStringLiteral("the start script wrote no env.sh"), false;
    static const QRegularExpression assignment(QStringLiteral("([A-Z_]+)=(?:'([^']*)'|(\\S+))"));
    m_env = QProcessEnvironment::systemEnvironment();
    for (const auto& m : assignment.globalMatch(QString::fromLocal8Bit(envFile.readAll())))
        m_env.insert(m.captured(1), m.captured(2).isEmpty() ? m.captured(3) : m.captured(2));
    m_env.remove(QStringLiteral("DISPLAY"));
    QDBusMessage leave = QDBusMessage::createMethodCall(QStringLiteral("org.gnome.Shell"),
        QStringLiteral("/org/gnome/Shell"), QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"));
    leave << QStringLiteral("org.gnome.Shell") << QStringLiteral("OverviewActive")
          << QVariant::fromValue(QDBusVariant(false));
    if (bus().call(leave, QDBus::Block, 10000).type() != QDBusMessage::ReplyMessage)
        return m_error = QStringLiteral("the shell did not leave its overview"), false;
    return true;
}

QDBusConnection GnomeSession::bus()
{
    return QDBusConnection::connectToBus(
        m_env.value(QStringLiteral("DBUS_SESSION_BUS_ADDRESS")), QStringLiteral("gwtest-gnome"));
}

QString GnomeSession::gsettings(const QString& schema, const QString& key) const
{
    int code = 0;
    QString value = run(QStringLiteral("gsettings"), { QStringLiteral("get"), schema, key }, m_env, &code);
    if (code != 0)
        return {};
    if (value.size() >= 2 && value.startsWith(QLatin1Char('\'')))
        value = value.mid(1, value.size() - 2);
    return value;
}

QImage GnomeSession::screenshot()
{
    // The shell answers only the screenshot tool's name.
    QDBusConnection connection = bus();
    connection.registerService(QStringLiteral("org.gnome.Screenshot"));
    const QString file = m_dir.file(QStringLiteral("shot.png"));
    QFile::remove(file);
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.gnome.Shell"),
        QStringLiteral("/org/gnome/Shell/Screenshot"), QStringLiteral("org.gnome.Shell.Screenshot"),
        QStringLiteral("Screenshot"));
    call << false << false << file;
    if (connection.call(call, QDBus::Block, 20000).type() != QDBusMessage::ReplyMessage)
        return {};
    return QImage(file).convertToFormat(QImage::Format_RGB32);
}

bool GnomeSession::lock()
{
    const QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.gnome.ScreenSaver"),
        QStringLiteral("/org/gnome/ScreenSaver"), QStringLiteral("org.gnome.ScreenSaver"), QStringLiteral("Lock"));
    return bus().call(call, QDBus::Block, 10000).type() == QDBusMessage::ReplyMessage;
}

bool GnomeSession::unlock()
{
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.gnome.ScreenSaver"),
        QStringLiteral("/org/gnome/ScreenSaver"), QStringLiteral("org.gnome.ScreenSaver"), QStringLiteral("SetActive"));
    call << false;
    return bus().call(call, QDBus::Block, 10000).type() == QDBusMessage::ReplyMessage;
}

bool GnomeSession::locked()
{
    const QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.gnome.ScreenSaver"),
        QStringLiteral("/org/gnome/ScreenSaver"), QStringLiteral("org.gnome.ScreenSaver"), QStringLiteral("GetActive"));
    const QDBusMessage reply = bus().call(call, QDBus::Block, 10000);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
        && reply.arguments().constFirst().toBool();
}

bool showsWholeGlobe(const QImage& shot, const QRect& monitor)
{
    if (shot.isNull() || !shot.rect().contains(monitor))
        return false;
    const QPoint c = monitor.center();
    const auto lit = [](QRgb p) { return qMax(qRed(p), qMax(qGreen(p), qBlue(p))) >= 30; };
    const auto dark = [&shot](QPoint at) {
        int n = 0;
        for (int y = -3; y < 3; ++y)
            for (int x = -3; x < 3; ++x)
                n += qGray(shot.pixel(at + QPoint(x, y))) <= 25;
        return n >= 30; // a star or two allowed
    };
    if (!lit(shot.pixel(c)))
        return false;
    // Space at the ends of the middle row and below the globe: it is whole, not cut by an edge.
    if (!dark({ monitor.left() + 8, c.y() }) || !dark({ monitor.right() - 8, c.y() })
        || !dark({ c.x(), monitor.bottom() - 8 }))
        return false;
    QSet<QRgb> colours;
    const QRect middle(
        c - QPoint(monitor.height() / 6, monitor.height() / 6), QSize(monitor.height() / 3, monitor.height() / 3));
    for (int y = middle.top(); y <= middle.bottom(); y += 2)
        for (int x = middle.left(); x <= middle.right(); x += 2)
            colours.insert(shot.pixel(x, y));
    return colours.size() > 100;
}

} // namespace gwe2e
