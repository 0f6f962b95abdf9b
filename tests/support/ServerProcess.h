#pragma once
// Real servers on 127.0.0.1 for tests and benchmarks, each in its own temporary folder:
// lighttpd serving a folder of files (with Last-Modified from the files' times), tinyproxy
// with basic authentication, and an https server with a certificate made for the test.
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace gwtest {

class ServerProcess
{
public:
    virtual ~ServerProcess();
    quint16 port() const { return m_port; }
    bool running() const { return m_process.state() == QProcess::Running; }
    QString error() const { return m_error; }
    void stop();

protected:
    // Writes `config` into the temporary folder, runs `program` with `arguments` (where
    // "%config" stands for the file) and waits until the port accepts connections.
    bool startWith(const QString& program, QStringList arguments, const QByteArray& config);
    QString workDir() const { return m_dir.path(); }

    quint16 m_port = 0;
    QString m_error;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
};

class LighttpdFixture : public ServerProcess
{
public:
    explicit LighttpdFixture(const QString& documentRoot)
        : m_root(documentRoot)
    {
    }
    bool start();
    QString url(const QString& path) const;

private:
    QString m_root;
};

class TinyproxyFixture : public ServerProcess
{
public:
    TinyproxyFixture(const QString& user, const QString& password)
        : m_user(user)
        , m_password(password)
    {
    }
    bool start();

private:
    QString m_user;
    QString m_password;
};

// Serves a folder over https (python3's ssl module) with a certificate for 127.0.0.1 that
// openssl makes at start; clients trust it through caFile(). Listed paths answer with a
// redirect instead.
class TlsServerFixture : public ServerProcess
{
public:
    explicit TlsServerFixture(const QString& documentRoot)
        : m_root(documentRoot)
    {
    }
    void redirect(const QString& path, const QString& location)
    {
        m_redirects += path + QLatin1Char(' ') + location + QLatin1Char('\n');
    }
    bool start();
    QString url(const QString& path) const;
    QString caFile() const { return workDir() + QStringLiteral("/cert.pem"); }

private:
    QString m_root;
    QString m_redirects;
};

} // namespace gwtest
