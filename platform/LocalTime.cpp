#include "platform/LocalTime.h"

namespace pelimo::platform {

bool localCalendarTime(std::time_t at, std::tm& out)
{
    std::tm tm{};
    if (!::localtime_r(&at, &tm))
        return false;
    out = tm;
    return true;
}

LocalTime localTimeOf(std::time_t at)
{
    std::tm tm{};
    if (!localCalendarTime(at, tm))
        return {};
    return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,  tm.tm_hour,
                     tm.tm_min,         tm.tm_sec,     tm.tm_gmtoff};
}

} // namespace pelimo::platform
