#pragma once
// The logs and the message window kept in memory, for tests that read what was written.
#include "shared/LogSink.h"

#include <QStringList>

namespace gw {

class MemoryLog : public LogSink
{
public:
    void appendLine(const QString& line) override { lines << line; }
    QStringList lines;
};

class MemoryMessageWindow : public MessageWindowSink
{
public:
    void appendLines(const QStringList& l) override { lines << l; }
    void showWindow() override { ++shown; }
    QStringList lines;
    int shown = 0;
};

} // namespace gw
