#pragma once
// A private X server for tests that need a real display (the renderer paints the root
// window). Xvfb picks a free display number itself (-displayfd), so parallel tests never
// collide; -noreset keeps the root window's picture after the last client disconnects.
#include <QImage>
#include <QProcess>
#include <QString>

namespace gwtest {

class XvfbServer
{
public:
    XvfbServer() = default;
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // Starts the server and waits, at most `timeoutMs`, until it accepts clients.
    // Returns false (with the reason in error()) when Xvfb is missing or does not come up.
    bool start(int width = 1024, int height = 768, int timeoutMs = 15000);
    void stop();

    bool running() const { return m_process.state() == QProcess::Running && !m_display.isEmpty(); }
    // ":N" for DISPLAY.
    const QString& display() const { return m_display; }
    const QString& error() const { return m_error; }

    // The root window as an image (by ImageMagick's import); null when it fails.
    QImage grabRoot() const;

    // Number of distinct colours of an image.
    static int colourCount(const QImage& image);

private:
    QProcess m_process;
    QString m_display;
    QString m_error;
};

} // namespace gwtest
