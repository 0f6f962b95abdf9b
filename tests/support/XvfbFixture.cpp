#include "XvfbFixture.h"
#include "ChildProcess.h"
#include "support/WaitUntil.h"

#include <QDeadlineTimer>
#include <QSet>
#include <QStandardPaths>

namespace gwtest {

XvfbServer::~XvfbServer()
{
    stop();
}

bool XvfbServer::start(int width, int height, int timeoutMs)
{
    stop();
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty()) {
        m_error = QStringLiteral("Xvfb is not installed");
        return false;
    }
    m_process.setProgram(xvfb);
    // The display number is written to standard output once the server listens.
    m_process.setArguments({ QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-noreset"),
        QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
        QStringLiteral("%1x%2x24").arg(width).arg(height) });
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.setStandardErrorFile(QProcess::nullDevice());
    m_process.start();
    if (!m_process.waitForStarted(timeoutMs)) {
        m_error = QStringLiteral("Xvfb did not start: ") + m_process.errorString();
        return false;
    }
    QByteArray out;
    waitUntil(
        [&] {
            if (out.contains('\n') || m_process.state() != QProcess::Running)
                return true;
            m_process.waitForReadyRead(100);
            out += m_process.readAllStandardOutput();
            return false;
        },
        timeoutMs);
    const QByteArray number = out.trimmed();
    bool ok = false;
    number.toInt(&ok);
    if (!ok) {
        m_error = QStringLiteral("Xvfb gave no display number");
        stop();
        return false;
    }
    m_display = QStringLiteral(":") + QString::fromLatin1(number);
    return true;
}

void XvfbServer::stop()
{
    stopChild(m_process);
    m_display.clear();
}

QImage XvfbServer::grabRoot() const
{
    if (m_display.isEmpty())
        return {};
    QProcess import;
    import.start(QStringLiteral("import"),
        { QStringLiteral("-display"), m_display, QStringLiteral("-window"), QStringLiteral("root"),
            QStringLiteral("png:-") });
    if (!import.waitForFinished(30000) || import.exitCode() != 0)
        return {};
    return QImage::fromData(import.readAllStandardOutput(), "PNG");
}

int XvfbServer::colourCount(const QImage& image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    QSet<QRgb> colours;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            colours.insert(line[x]);
    }
    return static_cast<int>(colours.size());
}

} // namespace gwtest
