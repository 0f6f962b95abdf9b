#include "ChronydFixture.h"
#include "ChildProcess.h"
#include "support/WaitUntil.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>
#include <QUdpSocket>

namespace gwtest {

namespace {
    quint16 freeUdpPort()
    {
        QUdpSocket probe;
        if (!probe.bind(QHostAddress::LocalHost, 0))
            return 0;
        return probe.localPort();
    }
} // namespace

QString ChronydFixture::program()
{
    return QStandardPaths::findExecutable(QStringLiteral("chronyd"),
        { QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"), QStringLiteral("/usr/bin") });
}

bool ChronydFixture::start(QString* error)
{
    const QString chronyd = program();
    if (chronyd.isEmpty() || !m_dir.isValid()) {
        *error = QStringLiteral("chronyd not installed or no temporary folder");
        return false;
    }
    m_port = freeUdpPort();
    const QString conf = m_dir.filePath(QStringLiteral("chrony.conf"));
    QFile f(conf);
    if (!f.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write ") + conf;
        return false;
    }
    f.write(QStringLiteral("port %1\n"
                           "bindaddress 127.0.0.1\n"
                           "allow 127.0.0.1\n"
                           "local stratum 8\n"
                           "cmdport 0\n"
                           "bindcmdaddress /\n"
                           "pidfile %2/chronyd.pid\n"
                           "driftfile %2/chrony.drift\n")
                .arg(m_port)
                .arg(m_dir.path())
                .toUtf8());
    f.close();

    m_process.setProcessChannelMode(QProcess::MergedChannels);
    // -x: never touch the system clock. It must never be left out.
    m_process.start(chronyd,
        { QStringLiteral("-x"), QStringLiteral("-d"), QStringLiteral("-u"), QStringLiteral("root"),
            QStringLiteral("-f"), conf });
    if (!m_process.waitForStarted(5000)) {
        *error = QStringLiteral("chronyd did not start: ") + m_process.errorString();
        return false;
    }
    if (gwtest::waitUntil([&] { return m_process.state() != QProcess::Running || answers(200); }, 10000)) {
        if (m_process.state() == QProcess::Running)
            return true;
        *error = QStringLiteral("chronyd ended: ") + QString::fromLocal8Bit(m_process.readAll());
        return false;
    }
    *error = QStringLiteral("chronyd does not answer: ") + QString::fromLocal8Bit(m_process.readAll());
    stop();
    return false;
}

bool ChronydFixture::answers(int waitMs) const
{
    QUdpSocket s;
    if (!s.bind(QHostAddress::LocalHost, 0))
        return false;
    QByteArray request(48, '\0');
    request[0] = 0x1B; // version 3, client
    request[40] = 1; // a non-zero transmit time
    s.writeDatagram(request, QHostAddress::LocalHost, m_port);
    return s.waitForReadyRead(waitMs) && s.pendingDatagramSize() >= 48;
}

void ChronydFixture::stop()
{
    stopChild(m_process);
}

} // namespace gwtest
