#pragma once
// A desktop for whole-program tests: a private X server (Xvfb, -noreset so the renderer's
// picture stays on the root window) with trayer as the notification area, and what a person
// does and sees there: windows found by their class, clicks and keys by xdotool, screen
// pictures by ImageMagick's import.
#include "support/XvfbFixture.h"

#include <QImage>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>

namespace gwe2e {

struct DesktopWindow
{
    QString id;
    QString name;
    QRect geometry; // on the screen
    bool viewable = false;
};

class TestDesktop
{
public:
    static constexpr int Width = 1024;
    static constexpr int Height = 768;

    TestDesktop() = default;
    ~TestDesktop();
    TestDesktop(const TestDesktop&) = delete;
    TestDesktop& operator=(const TestDesktop&) = delete;

    // The X server and the notification area; false with the reason in error().
    bool start();
    const QString& error() const { return m_error; }

    // DISPLAY of this desktop and the X11 platform of Qt, for programs started on it.
    QProcessEnvironment environment() const;

    // Runs a command-line tool on this desktop; true when it ends with status 0.
    bool run(const QString& program, const QStringList& arguments, QByteArray* output = nullptr) const;
    bool xdotool(const QStringList& arguments, QByteArray* output = nullptr) const
    {
        return run(QStringLiteral("xdotool"), arguments, output);
    }

    // Every window of that class (WM_CLASS), mapped or not.
    QList<DesktopWindow> windows(const QString& className) const;

    void click(const QPoint& at, int button = 1, int repeat = 1) const;
    void key(const QPoint& pointerAt, const QString& keyName) const;
    // Paints the root window one colour, as if nothing had been drawn on the desktop yet.
    bool blankRoot() const;

    QImage grabRoot() const { return m_xvfb.grabRoot(); }
    QImage grab(const QRect& area) const { return grabRoot().copy(area); }

private:
    gwtest::XvfbServer m_xvfb;
    QProcess m_trayer;
    QString m_error;
};

// What a picture shows, counted in pixels.
namespace pixels {
    int colours(const QImage& image);
    // Pure-looking green: the renderer's "color=green" markers and their labels.
    int green(const QImage& image);
    // Strong red: the cross over the disabled globe.
    int red(const QImage& image);
    // Blue of the globe's oceans.
    int blue(const QImage& image);
    // Light grey to white: clouds.
    int white(const QImage& image);
} // namespace pixels

// Round half to even, as the window is centred.
int roundHalfEven(double value);

} // namespace gwe2e
