#pragma once
// When a failed timed download is tried again: after 1, 2, 4 … minutes, at most an hour
// apart, instead of at every tick. A server that answers 404 would otherwise get a ping, a
// check and a transfer every five seconds, and the log a line for each.
#include "shared/DateTime.h"

#include <QStringList>

namespace gw {

class RetryBackoff
{
public:
    static constexpr int LongestWaitMinutes = 60;

    // A try failed at `now`: the wait before the next one doubles.
    void failed(TDateTime now);
    // A try got through (or the download is no longer wanted): the next goes at once.
    void reset() { *this = RetryBackoff(); }

    // True while the next try has to wait.
    bool waiting(TDateTime now) const { return m_failures > 0 && now < m_nextTry; }
    TDateTime nextTry() const { return m_nextTry; }
    int failures() const { return m_failures; }
    TDateTime lastFailure() const { return m_lastFailure; }
    // The wall clock was set by `days`: the wait keeps its length on the real time line.
    void followClockStep(double days);

    // True when one of the times of day in `timeLines` (the lines of mTime) came after `since`
    // and no later than `now`: a new listed download supersedes the retries of the last one.
    static bool listedTimeBetween(const QStringList& timeLines, TDateTime since, TDateTime now);

private:
    int m_failures = 0;
    TDateTime m_lastFailure = 0;
    TDateTime m_nextTry = 0;
};

} // namespace gw
