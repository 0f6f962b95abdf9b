#pragma once
#include "shared/DateTime.h"

#include <QString>

namespace gw {

// A clock offset (days) as the time log shows it: "-" or a blank, then hh:mm:ss.zzz of the
// absolute value rounded to milliseconds and taken modulo one day, with the system's decimal
// separator before the milliseconds.
QString TimeOffsetText(TDateTime offset);

} // namespace gw
