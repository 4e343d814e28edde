#pragma once

#include <ctime>

namespace pelimo::platform {

// A moment as the machine's clock on the wall shows it, in the zone the system (or TZ) sets.
struct LocalTime {
    int year = 1970;
    int month = 1; // 1 to 12
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    long utcOffsetSeconds = 0; // east of UTC; changes where the zone's clocks change
};

// The local time of a moment; the zone's rules (daylight saving time among them) apply.
LocalTime localTimeOf(std::time_t at);

// The same as the C library breaks it down, for formatting with it; false, with out left as it
// was, for a moment beyond what the system can represent.
bool localCalendarTime(std::time_t at, std::tm& out);

} // namespace pelimo::platform
