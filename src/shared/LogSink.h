#pragma once
#include <QString>
#include <QStringList>

namespace gw {

// The transfer log: each call adds one line (date-time text + " - " + message, made by the caller).
class LogSink
{
public:
    virtual ~LogSink() = default;
    virtual void appendLine(const QString& line) = 0;
};

// The renderer message window: blocks of lines appended after each render.
class MessageWindowSink
{
public:
    virtual ~MessageWindowSink() = default;
    virtual void appendLines(const QStringList& lines) = 0;
    virtual void showWindow() = 0;
};

} // namespace gw
