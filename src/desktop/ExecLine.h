#pragma once
// Reading the command of a desktop application entry (the "Exec=" line of a .desktop file)
// and turning it into an argument list that opens one file or address.
#include <QString>
#include <QStringList>
#include <optional>

namespace gw {

struct DesktopEntry
{
    QString exec; // the Exec value, its string escapes resolved
    bool terminal = false; // Terminal=true: the program needs a terminal window
};

// The "Exec" and "Terminal" keys of the [Desktop Entry] group; nothing when the file cannot
// be read or has no such group.
std::optional<DesktopEntry> readDesktopEntry(const QString& path);

// Resolves the string escapes of a desktop entry value: \s \n \t \r \\.
QString unescapeDesktopValue(const QString& value);

// Splits an Exec value into arguments: blanks separate, double quotes group, and inside
// quotes a backslash escapes '"', '`', '$' and '\'. An unterminated quote runs to the end.
QStringList splitExecArguments(const QString& exec);

// The argument list that opens `target`: the command is cut before its first file or URL
// field code (%f %F %u %U, also when written in double quotes), the other field codes are
// dropped, "%%" becomes "%", and `target` is appended as one argument. A command without a
// field code gets `target` appended too. Empty when no program is left.
QStringList commandForTarget(const QString& exec, const QString& target);

} // namespace gw
