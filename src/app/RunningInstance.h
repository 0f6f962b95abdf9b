#pragma once
// Requests of a later start to the running Globewall ("render now", "show the window") over a
// local socket beside the single-instance lock. The holder of the lock listens; a later start
// connects, writes one word per line and ends.
#include "app/CommandLineOptions.h"
#include "instance/LocalLineServer.h"

#include <QObject>
#include <QString>

namespace gw {

class AppCore;

class InstanceChannel : public QObject
{
    Q_OBJECT

public:
    // The socket's file for a lock file.
    static QString socketFileFor(const QString& lockFile) { return lockFile + QStringLiteral(".socket"); }

    explicit InstanceChannel(QString socketFile, QObject* parent = nullptr);
    // Only the holder of the lock may call this: a socket file left by a crash is replaced.
    bool listen();
    QString errorText() const;

    // The words for the requests of `options`; a start that asks nothing brings the window.
    static QStringList requestsOf(const CommandLineOptions& options);
    // Writes the requests to the running instance, which may still be starting, so a refused
    // connection is tried again until `timeoutMs` has passed. A socket whose listener is
    // another user is never written to. Needs no application object.
    static bool send(
        const QString& socketFile, const QStringList& requests, int timeoutMs = 5000, QString* why = nullptr);

signals:
    void renderNowRequested();
    void downloadNowRequested();
    void showRequested();

private:
    void carryOut(const QByteArray& line);

    QString m_socketFile;
    LocalLineServer m_server;
};

// A later start: passes its requests on and returns the exit code. Without requests it ends
// silently; a settings file cannot be handed over, which it says.
int passToRunningInstance(const QString& lockFile, const CommandLineOptions& options);

// The first start: listens for later starts, and renders or checks the downloads once the
// window's start-up step has run when it was started with --render-now or --download-now.
class RunningInstance
{
public:
    RunningInstance(AppCore& app, const QString& lockFile, const CommandLineOptions& options);

private:
    InstanceChannel m_channel;
};

} // namespace gw
