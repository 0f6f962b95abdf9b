#pragma once
#include <QString>

namespace gw {

// Folder of settings and logs, with a final "/": the program's own folder when it is writable
// and not installed (a portable copy), else $XDG_CONFIG_HOME/Globewall/ (created when missing).
QString programDir();
// Override for tests.
void setProgramDir(const QString& dir);

// The settings file named on the command line, used instead of the default base file; empty
// when none was named.
QString settingsFileOverride();
void setSettingsFileOverride(const QString& file);

// Folder part of a path with its final "/", or empty when the path has none.
QString folderOf(const QString& path);

} // namespace gw
