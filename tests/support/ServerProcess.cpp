#include "ServerProcess.h"

#include "HttpFaultServer.h"

#include <QFile>
#include <QStandardPaths>

namespace gwtest {

ServerProcess::~ServerProcess()
{
    stop();
}

void ServerProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool ServerProcess::startWith(const QString& program, QStringList arguments, const QByteArray& config)
{
    if (QStandardPaths::findExecutable(program).isEmpty()
        && QStandardPaths::findExecutable(program, {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")}).isEmpty()) {
        m_error = program + QStringLiteral(" is not installed");
        return false;
    }
    const QString configFile = m_dir.filePath(QStringLiteral("server.conf"));
    QFile f(configFile);
    if (!f.open(QIODevice::WriteOnly) || f.write(config) != config.size()) {
        m_error = QStringLiteral("cannot write ") + configFile;
        return false;
    }
    f.close();
    arguments.replaceInStrings(QStringLiteral("%config"), configFile);
    QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        path = QStandardPaths::findExecutable(program, {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardOutputFile(m_dir.filePath(QStringLiteral("output.log")));
    m_process.start(path, arguments);
    if (!m_process.waitForStarted(5000) || !waitForPort(m_port, 5000)) {
        m_error = program + QStringLiteral(" did not start on port ") + QString::number(m_port);
        stop();
        return false;
    }
    return true;
}

bool LighttpdFixture::start()
{
    m_port = freeLoopbackPort();
    const QByteArray config = "server.document-root = \"" + m_root.toUtf8() + "\"\n"
                              "server.port = " + QByteArray::number(m_port) + "\n"
                              "server.bind = \"127.0.0.1\"\n"
                              "server.errorlog = \"" + workDir().toUtf8() + "/error.log\"\n"
                              "server.stat-cache-engine = \"disable\"\n"
                              "mimetype.assign = (\"\" => \"application/octet-stream\")\n";
    return startWith(QStringLiteral("lighttpd"), {QStringLiteral("-D"), QStringLiteral("-f"), QStringLiteral("%config")},
                     config);
}

QString LighttpdFixture::url(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
}

bool TinyproxyFixture::start()
{
    m_port = freeLoopbackPort();
    const QByteArray config = "Port " + QByteArray::number(m_port) + "\n"
                              "Listen 127.0.0.1\n"
                              "Timeout 30\n"
                              "Allow 127.0.0.1\n"
                              "MaxClients 20\n"
                              "BasicAuth " + m_user.toUtf8() + " " + m_password.toUtf8() + "\n"
                              "LogFile \"" + workDir().toUtf8() + "/tinyproxy.log\"\n";
    return startWith(QStringLiteral("tinyproxy"), {QStringLiteral("-d"), QStringLiteral("-c"), QStringLiteral("%config")},
                     config);
}

} // namespace gwtest
