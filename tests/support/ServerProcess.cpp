#include "ServerProcess.h"

#include "ChildProcess.h"
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
    stopChild(m_process);
}

bool ServerProcess::startWith(const QString& program, QStringList arguments, const QByteArray& config)
{
    if (QStandardPaths::findExecutable(program).isEmpty()
        && QStandardPaths::findExecutable(program, { QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin") })
               .isEmpty()) {
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
        path = QStandardPaths::findExecutable(program, { QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin") });
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
    const QByteArray config = "server.document-root = \"" + m_root.toUtf8()
        + "\"\n"
          "server.port = "
        + QByteArray::number(m_port)
        + "\n"
          "server.bind = \"127.0.0.1\"\n"
          "server.errorlog = \""
        + workDir().toUtf8()
        + "/error.log\"\n"
          "server.stat-cache-engine = \"disable\"\n"
          "mimetype.assign = (\"\" => \"application/octet-stream\")\n";
    return startWith(
        QStringLiteral("lighttpd"), { QStringLiteral("-D"), QStringLiteral("-f"), QStringLiteral("%config") }, config);
}

QString LighttpdFixture::url(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
}

bool TinyproxyFixture::start()
{
    m_port = freeLoopbackPort();
    const QByteArray config = "Port " + QByteArray::number(m_port)
        + "\n"
          "Listen 127.0.0.1\n"
          "Timeout 30\n"
          "Allow 127.0.0.1\n"
          "MaxClients 20\n"
          "BasicAuth "
        + m_user.toUtf8() + " " + m_password.toUtf8()
        + "\n"
          "LogFile \""
        + workDir().toUtf8() + "/tinyproxy.log\"\n";
    return startWith(
        QStringLiteral("tinyproxy"), { QStringLiteral("-d"), QStringLiteral("-c"), QStringLiteral("%config") }, config);
}

namespace {

    const char kTlsServer[] = R"PY(
import http.server, os, ssl, sys
port, root, work = int(sys.argv[1]), sys.argv[2], sys.argv[3]
moves = {}
with open(os.path.join(work, "redirects")) as f:
    for line in f:
        if line.strip():
            path, location = line.split(" ", 1)
            moves[path] = location.strip()

class Handler(http.server.SimpleHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    def __init__(self, *args, **kwargs):
        super().__init__(*args, directory=root, **kwargs)
    def send_head(self):
        path = self.path.split("?", 1)[0]
        if path in moves:
            self.send_response(302)
            self.send_header("Location", moves[path])
            self.send_header("Content-Length", "0")
            self.end_headers()
            return None
        return super().send_head()
    def log_message(self, *args):
        pass

server = http.server.ThreadingHTTPServer(("127.0.0.1", port), Handler)
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(os.path.join(work, "cert.pem"), os.path.join(work, "key.pem"))
server.socket = context.wrap_socket(server.socket, server_side=True)
server.serve_forever()
)PY";

} // namespace

bool TlsServerFixture::start()
{
    QFile moves(workDir() + QStringLiteral("/redirects"));
    if (!moves.open(QIODevice::WriteOnly) || moves.write(m_redirects.toUtf8()) < 0) {
        m_error = QStringLiteral("cannot write the redirects");
        return false;
    }
    moves.close();
    QProcess openssl;
    openssl.setWorkingDirectory(workDir());
    openssl.start(QStringLiteral("openssl"),
        { QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
            QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
            QStringLiteral("-keyout"), QStringLiteral("key.pem"), QStringLiteral("-out"), QStringLiteral("cert.pem"),
            QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
            QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1") });
    if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0) {
        m_error
            = QStringLiteral("openssl made no certificate: ") + QString::fromLocal8Bit(openssl.readAllStandardError());
        return false;
    }
    m_port = freeLoopbackPort();
    return startWith(QStringLiteral("python3"),
        { QStringLiteral("%config"), QString::number(m_port), m_root, workDir() }, kTlsServer);
}

QString TlsServerFixture::url(const QString& path) const
{
    return QStringLiteral("https://127.0.0.1:%1%2").arg(m_port).arg(path);
}

} // namespace gwtest
