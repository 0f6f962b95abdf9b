#pragma once
// "Globewall --status" asks the running Globewall through a socket of its own beside the
// instance lock: a client that sends a line gets the report and the end of the connection.
#include "instance/LocalLineServer.h"

#include <QString>

#include <functional>

namespace gw {

class StatusChannel
{
public:
    static QString socketFileFor(const QString& lockFile) { return lockFile + QStringLiteral(".status"); }

    // `report` makes the text at each request.
    StatusChannel(QString socketFile, const std::function<QString()>& report);
    // Only the holder of the lock may call this: a socket file left by a crash is replaced.
    bool listen() { return m_server.listen(m_socketFile); }
    QString errorText() const { return m_server.errorText(); }

    // The running program's report; false (nothing in `text`) when none answers in time.
    // Needs no application object and writes no file.
    static bool ask(const QString& socketFile, QString* text, int timeoutMs = 5000);

private:
    QString m_socketFile;
    LocalLineServer m_server;
};

// "Globewall --status": the running program's report when one answers, else the one read
// from the settings file; printed to standard output. Always 0.
int printStatus(const QString& lockFile);

} // namespace gw
