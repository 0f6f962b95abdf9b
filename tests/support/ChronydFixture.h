#pragma once
// A real NTP server for tests: chronyd on a free loopback port, started with -x so it never
// touches the clock, from a configuration in a temporary folder.
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace gwtest {

class ChronydFixture
{
public:
    ChronydFixture() = default;
    ~ChronydFixture() { stop(); }
    ChronydFixture(const ChronydFixture&) = delete;
    ChronydFixture& operator=(const ChronydFixture&) = delete;

    // The chronyd program, or empty when it is not installed.
    static QString program();

    // Starts chronyd and waits (at most about ten seconds) until it answers a time request.
    bool start(QString* error);
    void stop();
    quint16 port() const { return m_port; }

private:
    bool answers(int waitMs) const;

    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
};

} // namespace gwtest
