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

class MemoryLog : public LogSink
{
public:
    void appendLine(const QString& line) override { lines << line; }
    QStringList lines;
};

} // namespace gw
