#pragma once
// A private copy of the built program in an empty folder of its own, with its own HOME,
// configuration folder and runtime folder: its settings and logs go beside the copy, its
// renderer folder below the private HOME, and its single-instance lock is its own, so copies
// never meet each other or the user's real files.
#include "support/TempDir.h"

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <functional>

namespace gwe2e {

class ProgramCopy
{
public:
    ProgramCopy();

    bool copied() const { return m_copied; }
    QString root() const { return m_dir.path(); }
    QString home() const { return m_dir.file(QStringLiteral("home")); }
    // A file beside the program: "Globewall.ini", "Globewall.log", ...
    QString programFile(const QString& name) const;
    // A file below the renderer folder ~/.xplanet/: "images/clouds_2048.jpg", ...
    QString xplanetFile(const QString& name) const;
    QString iniPath() const { return programFile(QStringLiteral("Globewall.ini")); }

    // Starts the copy with the environment of a desktop session; `extra` adds or replaces
    // variables (DISPLAY, QT_QPA_PLATFORM).
    void start(QProcess& p, const QProcessEnvironment& extra = {}) const;
    // The same through a launcher: `launcher` with `arguments`, then the program.
    void startWith(QProcess& p, const QString& launcher, const QStringList& arguments,
        const QProcessEnvironment& extra = {}) const;

    // Every file below the copy's folder with its size and modification time.
    QStringList snapshot() const;

    // Changes the saved settings as a person editing "Globewall.ini" would: each entry is
    // {section, key, value}.
    struct Entry
    {
        QString section;
        QString key;
        QString value;
    };
    bool editIni(const QList<Entry>& entries) const;
    QString iniValue(const QString& section, const QString& key) const { return iniValueOf(iniPath(), section, key); }
    static QString iniValueOf(const QString& path, const QString& section, const QString& key);

private:
    gwtest::TempDir m_dir;
    QString m_binary;
    bool m_copied = false;
};

// Polls `done` every `pollMs` until it holds or `timeoutMs` has passed; true when it held.
bool waitUntil(const std::function<bool()>& done, int timeoutMs, int pollMs = 200);

// Ends a process: SIGTERM, then SIGKILL when it is still there after `graceMs`.
void stopProcess(QProcess& p, int graceMs = 10000);

} // namespace gwe2e
