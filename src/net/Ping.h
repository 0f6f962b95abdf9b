#pragma once
// One ICMP echo request and its reply. An ordinary user may be allowed neither an ICMP
// datagram socket nor a raw one, so the system's ping program (which carries the capability)
// is the last resort: a computer that can reach the host is never reported offline.
#include <QString>
#include <QVector>

#include <atomic>

namespace gw {

enum class PingResult {
    Reply, // an echo reply arrived in time
    NoReply, // no reply in time, or another ICMP answer
    Error, // the name cannot be resolved, or sending failed
};

enum class PingMethod { Datagram, Raw, SystemPing };

QString pingMethodName(PingMethod method);

class Pinger
{
public:
    Pinger();

    // The methods tried in order; a method the system refuses gives way to the next one.
    void setMethods(const QVector<PingMethod>& methods) { m_methods = methods; }
    const QVector<PingMethod>& methods() const { return m_methods; }

    // One echo request; the window keeps processing events while it waits.
    PingResult ping(const QString& host, int timeoutMs);

    PingMethod lastMethod() const { return m_lastMethod; }
    QString lastError() const { return m_lastError; }

private:
    QVector<PingMethod> m_methods;
    PingMethod m_lastMethod = PingMethod::Datagram;
    QString m_lastError;
};

// The same, blocking the calling thread; `cancel` ends the wait early (as NoReply).
PingResult pingBlocking(const QString& host, int timeoutMs, const QVector<PingMethod>& methods,
    const std::atomic<bool>& cancel, PingMethod* used, QString* error);

} // namespace gw
