#pragma once
// Local date-time as days since 1899-12-30 00:00; the fraction is the time of day.
#include <QDateTime>
#include <QString>

namespace gw {

using TDateTime = double;

inline constexpr double OneSecond = 1.1574074074e-5;
inline constexpr double OneMinute = 0.00069444444444;

TDateTime toDateTime(const QDateTime& local);
QDateTime fromDateTime(TDateTime value);

// The system locale's short date, a blank and the time with seconds (no time zone).
// A value at exactly midnight is the date alone. Download records compare this text,
// so every caller must use this one function.
QString DateTimeToStr(TDateTime value);
QString DateTimeToStr(const QDateTime& local);

// Hour (0..23) and minute of a date-time.
int hourOf(TDateTime value);
int minuteOf(TDateTime value);

} // namespace gw
