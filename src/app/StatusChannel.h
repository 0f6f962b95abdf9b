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

    enum class Answer {
        Report, // `text` holds the running program's report
        NoListener, // nothing listens at the socket file
        Foreign, // the listener is another user's program: not asked, not read
        Silent, // no whole report in time, or more than MaxReportBytes
    };
    // The running program's report. Needs no application object and writes no file.
    static Answer ask(const QString& socketFile, QString* text, int timeoutMs = 5000);
    // A report is a few kilobytes; a listener that sends more is not ours or not well.
    static constexpr qsizetype MaxReportBytes = 1024 * 1024;

private:
    QString m_socketFile;
    LocalLineServer m_server;
};

// "Globewall --status": the running program's report when one answers, else the one read
// from the settings file (or, when the lock is held, that the holder does not answer);
// printed to standard output, a socket of another user named on standard error. Always 0.
int printStatus(const QString& lockFile);
// The text printStatus prints; `notes` gets what goes to standard error.
QString statusText(const QString& lockFile, QString* notes, int timeoutMs = 5000);

} // namespace gw
