#include "platform/LocalTime.h"

namespace pelimo::platform {

LocalTime localTimeOf(std::time_t at)
{
    std::tm tm{};
    if (!::localtime_r(&at, &tm))
        return {};
    return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,  tm.tm_hour,
                     tm.tm_min,         tm.tm_sec,     tm.tm_gmtoff};
}

} // namespace pelimo::platform
