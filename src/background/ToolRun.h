#pragma once
// Runs a desktop's own tool where it has no library or bus interface: directly, never through
// a shell, within a time limit, while the event loop goes on.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace gw {

// How much of a tool's standard output is kept: more than any desktop tool's answer. A tool
// that prints without end (the user's own command could be `yes`) costs no more memory than
// this; only the last bytes are kept, and `outputCut` tells.
constexpr qsizetype kToolOutputKept = 64 * 1024;
// How much of its error output is kept, for the log line.
constexpr qsizetype kToolErrorsKept = 4 * 1024;

struct ToolResult
{
    QString error; // empty when the tool ran and exited 0
    QByteArray output; // its standard output, at most the last kToolOutputKept bytes
    bool outputCut = false; // it printed more than that
};

// The tool and everything it started are killed when it runs past `timeoutMs`.
ToolResult runTool(const QString& program, const QStringList& arguments, int timeoutMs);

} // namespace gw
