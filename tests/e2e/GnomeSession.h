#pragma once
// A real GNOME Shell, headless, with two virtual monitors (1280x720 and 1024x768 beside it), its
// own session bus and a private system bus with a stand-in logind, started by the shared
// start script. What a test does there: read and watch GSettings keys as the shell's own
// settings service has them, take a screenshot through the shell, lock and unlock the screen.
#include "support/TempDir.h"

#include <QDBusConnection>
#include <QImage>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QVector>

namespace gwe2e {

class GnomeSession
{
public:
    GnomeSession() = default;
    ~GnomeSession();
    GnomeSession(const GnomeSession&) = delete;
    GnomeSession& operator=(const GnomeSession&) = delete;

    // Starts the shell and leaves its overview; false with the reason in error() when GNOME
    // cannot start here (not installed, no start script, the shell ended).
    bool start();
    const QString& error() const { return m_error; }

    // The session's environment (buses, runtime and settings folders, Wayland display) for
    // programs started in it.
    const QProcessEnvironment& environment() const { return m_env; }
    // The virtual monitors on the screenshot, side by side.
    static QVector<QRect> monitors() { return { QRect(0, 0, 1280, 720), QRect(1280, 0, 1024, 768) }; }

    // A key as the session's settings service has it, quotes removed; empty on failure.
    QString gsettings(const QString& schema, const QString& key) const;
    // The whole screen through org.gnome.Shell.Screenshot; null on failure.
    QImage screenshot();
    // org.gnome.ScreenSaver: Lock, SetActive(false) for the unlock, and GetActive.
    bool lock();
    bool unlock();
    bool locked();

private:
    QDBusConnection bus();

    gwtest::TempDir m_dir;
    QString m_script;
    QProcessEnvironment m_env;
    QString m_error;
    bool m_started = false;
};

// True when `monitor`'s part of `shot` shows one whole lit globe on dark space: lit and
// colourful in the middle, dark at the left and right ends of the middle row and at the bottom.
bool showsWholeGlobe(const QImage& shot, const QRect& monitor);

} // namespace gwe2e
