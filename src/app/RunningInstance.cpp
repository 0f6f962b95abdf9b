#include "app/RunningInstance.h"
#include "shared/Posix.h"

#include "app/AppCore.h"
#include "app/MainWindow.h"
#include "desktop/SwayWindow.h"
#include "downloads/DownloadJobs.h"
#include "renderer/RenderControl.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <sys/socket.h>
#include <sys/un.h>

namespace gw {

namespace {

    const QString RenderNow = QStringLiteral("render-now");
    const QString DownloadNow = QStringLiteral("download-now");
    const QString Show = QStringLiteral("show");

    enum class Sent { Yes, NotReached, Foreign };

    // The listener's user, as the kernel saw it when it listened: a socket file someone else
    // made (or replaced ours with) must not receive our requests.
    bool listenerIsThisUser(int fd)
    {
        ucred peer = {};
        socklen_t size = sizeof peer;
        return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::getuid();
    }

    Sent sendOnce(const QByteArray& path, const QByteArray& data)
    {
        sockaddr_un address;
        if (!unixSocketAddress(path, &address))
            return Sent::NotReached;
        const UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (!fd.valid())
            return Sent::NotReached;
        if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0)
            return Sent::NotReached;
        if (!listenerIsThisUser(fd.get()))
            return Sent::Foreign;
        qsizetype done = 0;
        while (done < data.size()) {
            const ssize_t n
                = ::send(fd.get(), data.constData() + done, static_cast<size_t>(data.size() - done), MSG_NOSIGNAL);
            if (n <= 0)
                return Sent::NotReached;
            done += n;
        }
        return Sent::Yes;
    }

} // namespace

InstanceChannel::InstanceChannel(QString socketFile, QObject* parent)
    : QObject(parent)
    , m_socketFile(std::move(socketFile))
{
    connect(&m_server, &LocalLineServer::lineReceived, this, &InstanceChannel::carryOut);
}

bool InstanceChannel::listen()
{
    return m_server.listen(m_socketFile);
}

QString InstanceChannel::errorText() const
{
    return m_server.errorText();
}

void InstanceChannel::carryOut(const QByteArray& line)
{
    // Carried out from the event loop: a render waits in a local event loop, in which the
    // connection may end.
    const QString word = QString::fromUtf8(line).trimmed();
    if (word == RenderNow)
        QMetaObject::invokeMethod(this, &InstanceChannel::renderNowRequested, Qt::QueuedConnection);
    else if (word == DownloadNow)
        QMetaObject::invokeMethod(this, &InstanceChannel::downloadNowRequested, Qt::QueuedConnection);
    else if (word == Show)
        QMetaObject::invokeMethod(this, &InstanceChannel::showRequested, Qt::QueuedConnection);
}

QStringList InstanceChannel::requestsOf(const CommandLineOptions& options)
{
    QStringList requests;
    if (options.show)
        requests << Show;
    if (options.downloadNow)
        requests << DownloadNow;
    if (options.renderNow)
        requests << RenderNow;
    // A plain second start is someone looking for the window.
    if (requests.isEmpty())
        requests << Show;
    return requests;
}

bool InstanceChannel::send(const QString& socketFile, const QStringList& requests, int timeoutMs, QString* why)
{
    const QByteArray data = (requests.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
    const QByteArray path = QFile::encodeName(socketFile);
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        switch (sendOnce(path, data)) {
        case Sent::Yes:
            return true;
        case Sent::Foreign:
            if (why)
                *why = QStringLiteral(
                    "Globewall already runs, but the socket \"%1\" belongs to another user: nothing was sent to it")
                           .arg(socketFile);
            return false;
        case Sent::NotReached:
            break;
        }
        if (clock.elapsed() >= timeoutMs) {
            if (why)
                *why = QStringLiteral("Globewall already runs but did not answer");
            return false;
        }
        QThread::msleep(50);
    }
}

int passToRunningInstance(const QString& lockFile, const CommandLineOptions& options)
{
    if (!options.settingsFile.isEmpty()) {
        std::fputs("Globewall already runs; --settings applies to a new start only.\n", stderr);
        return 1;
    }
    const QStringList requests = InstanceChannel::requestsOf(options);
    QString why;
    if (!InstanceChannel::send(InstanceChannel::socketFileFor(lockFile), requests, 5000, &why)) {
        std::fprintf(stderr, "%s.\n", why.toLocal8Bit().constData());
        return 1;
    }
    return 0;
}

RunningInstance::RunningInstance(AppCore& app, const QString& lockFile, const CommandLineOptions& options)
    : m_channel(InstanceChannel::socketFileFor(lockFile))
{
    MainWindow& form = app.window();
    auto renderNow = [&app] { app.errorReport().guard([&app] { app.render().pmStartNowClick(); }); };
    auto downloadNow = [&app] { app.errorReport().guard([&app] { app.downloadJobs().btnCheckDownloadsClick(); }); };
    // sway neither lets a program raise its window nor tells it the window went to the scratchpad.
    auto show = [&app] {
        app.errorReport().guard([&app] {
            app.window().pmRestoreWindowClick();
            showOnSway(QCoreApplication::applicationPid());
        });
    };
    QObject::connect(&m_channel, &InstanceChannel::renderNowRequested, &form, renderNow);
    QObject::connect(&m_channel, &InstanceChannel::downloadNowRequested, &form, downloadNow);
    QObject::connect(&m_channel, &InstanceChannel::showRequested, &form, show);
    if (!m_channel.listen())
        std::fprintf(stderr, "Globewall: later starts cannot reach this one: %s\n", qPrintable(m_channel.errorText()));

    // This start's own render, after the start-up step has placed the window. --show asks a
    // running instance only: a first start shows its window as its settings say.
    if (options.downloadNow)
        QObject::connect(form.Timer2(), &QTimer::timeout, &form, downloadNow, Qt::SingleShotConnection);
    if (options.renderNow)
        QObject::connect(form.Timer2(), &QTimer::timeout, &form, renderNow, Qt::SingleShotConnection);
}

} // namespace gw
