#pragma once
// "Globewall --status" asks the running Globewall through a socket of its own beside the
// instance lock: whoever connects gets the report and the end of the connection. The lock's
// folder is the user's own, and the socket is made reachable by its owner alone.
#include "shared/Posix.h"

#include <QObject>
#include <QString>

#include <functional>

class QSocketNotifier;

namespace gw {

class StatusChannel : public QObject
{
public:
    static QString socketFileFor(const QString& lockFile) { return lockFile + QStringLiteral(".status"); }

    // `report` makes the text at each request.
    StatusChannel(QString socketFile, std::function<QString()> report, QObject* parent = nullptr);
    ~StatusChannel() override;
    // Only the holder of the lock may call this: a socket file left by a crash is replaced.
    bool listen();
    QString errorText() const { return m_error; }

    // The running program's report; false (nothing in `text`) when none answers in time.
    // Needs no application object and writes no file.
    static bool ask(const QString& socketFile, QString* text, int timeoutMs = 5000);

private:
    void answer();

    QString m_socketFile;
    std::function<QString()> m_report;
    QString m_error;
    UniqueFd m_fd;
    QSocketNotifier* m_notifier = nullptr;
};

// "Globewall --status": the running program's report when one answers, else the one read
// from the settings file; printed to standard output. Always 0.
int printStatus(const QString& lockFile);

} // namespace gw
