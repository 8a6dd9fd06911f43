#pragma once
// The wall clock the system reads (brightness schedule, on/off times, the
// upgrade's time stamps). The system clock itself is set only through the
// shell ("date", "hwclock"), which the simulation records and never runs.

#include <QDateTime>

namespace platform {

// The system clock, or the time a test fixed.
QDateTime currentDateTime();

// Tests: from now on currentDateTime() returns `t` (it does not move on its
// own); an invalid QDateTime returns to the system clock.
void setClockForTest(const QDateTime& t);

} // namespace platform
