#pragma once
// Runs a desktop's own tool where it has no library or bus interface: directly, never through
// a shell, within a time limit, while the event loop goes on.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace gw {

struct ToolResult
{
    QString error; // empty when the tool ran and exited 0
    QByteArray output; // its standard output
};

// The tool and everything it started are killed when it runs past `timeoutMs`.
ToolResult runTool(const QString& program, const QStringList& arguments, int timeoutMs);

} // namespace gw
