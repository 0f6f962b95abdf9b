#pragma once
// Text that came from outside (a server's reason phrase or headers, a feed's labels, a file
// name, another program's answer) on its way to a person: control characters would move the
// cursor, retitle or clear the terminal that shows the log or "--status", or break a line of
// the settings file. Each is shown as "\x1B" (C0, DEL) or "\u009B" (C1) instead.
#include <QString>

namespace gw {

enum class LineBreaks {
    Keep, // "\n" (and tab) stay: a text of several lines, as a report or a log entry
    Escape, // one line: every control character is escaped
};

QString plainOutsideText(const QString& text, LineBreaks lineBreaks = LineBreaks::Escape);

} // namespace gw
