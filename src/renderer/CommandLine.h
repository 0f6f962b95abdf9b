#pragma once
// A launch is described by one command-line string (program, a blank, each entry). The child
// is started directly, never through a shell, so the string is split here into arguments the
// way a Windows C runtime splits its command line; a parameter text written for the renderer
// on one platform then means the same on the other.
#include <QString>
#include <QStringList>

namespace gw {

// Splits `text` into arguments:
//  - blanks and tabs outside double quotes separate arguments; runs of them count as one;
//  - a double quote opens or closes a quoted part, which may hold blanks, and is removed;
//    quoted parts and plain text next to each other form one argument ("a"b is ab);
//  - "" inside a quoted part is one literal quote and the part stays open;
//  - backslashes are literal, except right before a double quote: 2n backslashes and a quote
//    give n backslashes and the quote opens or closes; 2n+1 backslashes and a quote give
//    n backslashes and a literal quote;
//  - an empty quoted part ("") is an empty argument; an unclosed quote runs to the end.
// Nothing else is special: ; $ ` ( ) | & < > * reach the program as typed.
QStringList splitArguments(const QString& text);

// `text` written so that splitArguments gives it back as one argument, whatever it holds
// (blanks, double quotes, backslashes, nothing at all). Quotes are added only where needed,
// unless `alwaysQuoted`.
QString quoteArgument(const QString& text, bool alwaysQuoted = false);

// The program part of a command line that begins with `exeName`, and the arguments after it.
// The program is taken whole, blanks included, because the caller knows where it ends: an
// unquoted path with blanks names one file, as on the platform this command line came from.
// Surrounding double quotes of the program name are removed.
struct SplitCommand
{
    QString program;
    QStringList arguments;
};
SplitCommand splitCommand(const QString& exeName, const QString& commandLine);

} // namespace gw
