#include "notify/quiet/QuietHours.h"

#include "platform/LocalTime.h"
#include "platform/text/TypedCharacters.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

namespace pelimo {
namespace {

constexpr int kMinutesPerDay = 24 * 60;

int minuteOfDay(const platform::LocalTime& t)
{
    return t.hour * 60 + t.minute;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

std::optional<int> parseClockTime(std::string_view sjis)
{
    std::string ascii; // the text between the blanks, in ASCII
    const std::vector<TypedCharacter> chars = typedCharacters(sjis);
    size_t begin = 0;
    size_t end = chars.size();
    while (begin < end && isTypedBlank(chars[begin]))
        ++begin;
    while (end > begin && isTypedBlank(chars[end - 1]))
        --end;
    for (size_t i = begin; i < end; ++i) {
        if (chars[i].ascii == 0)
            return std::nullopt;
        ascii += chars[i].ascii;
    }
    const size_t colon = ascii.find(':');
    if (colon == std::string::npos || colon < 1 || colon > 2 || ascii.size() != colon + 3)
        return std::nullopt;
    for (size_t i = 0; i < ascii.size(); ++i) {
        if (i != colon && !isDigit(ascii[i]))
            return std::nullopt;
    }
    const int hour = colon == 1 ? ascii[0] - '0' : (ascii[0] - '0') * 10 + (ascii[1] - '0');
    const int minute = (ascii[colon + 1] - '0') * 10 + (ascii[colon + 2] - '0');
    if (hour > 23 || minute > 59)
        return std::nullopt;
    return hour * 60 + minute;
}

std::string clockTimeText(int minuteOfDay)
{
    const int m = ((minuteOfDay % kMinutesPerDay) + kMinutesPerDay) % kMinutesPerDay;
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", m / 60, m % 60);
    return text;
}

QuietHoursRead readQuietHours(int32_t enabled, std::string_view start, std::string_view end,
                              int32_t nearEndAlarmsGoOut)
{
    QuietHoursRead read;
    read.settings.nearEndAlarmsGoOut = nearEndAlarmsGoOut == 1;
    const std::optional<int> from = parseClockTime(start);
    const std::optional<int> to = parseClockTime(end);
    read.settings.startMinute = from.value_or(0);
    read.settings.endMinute = to.value_or(0);
    if (enabled != 1)
        return read; // the times are not used, whatever they hold
    if (!from)
        read.invalid = QuietHoursField::start;
    else if (!to)
        read.invalid = QuietHoursField::end;
    read.settings.enabled = !read.invalid;
    return read;
}

QuietHours::QuietHours(QuietHoursSettings settings, Clock clock) : settings(settings), clock(std::move(clock))
{}

bool QuietHours::inPeriod(int minute) const
{
    const int start = settings.startMinute;
    const int end = settings.endMinute;
    if (!settings.enabled || start == end)
        return false;
    if (start < end)
        return minute >= start && minute < end;
    return minute >= start || minute < end; // across midnight
}

bool QuietHours::isQuietAt(std::time_t at) const
{
    return inPeriod(minuteOfDay(platform::localTimeOf(at)));
}

std::optional<std::time_t> QuietHours::periodEndAfter(std::time_t at) const
{
    if (!isQuietAt(at))
        return std::nullopt;
    // Counted on the wall clock, the end is the next time the clock shows the end minute.
    // Where the zone's offset changes on the way, the clock jumps: the period then ends at
    // the change if the clock jumps past its end, or goes on counting from the change.
    std::time_t from = at;
    for (int change = 0; change < 4; ++change) {
        const platform::LocalTime local = platform::localTimeOf(from);
        const int minutesLeft = (settings.endMinute - minuteOfDay(local) + kMinutesPerDay) % kMinutesPerDay;
        const std::time_t end = from + std::time_t{minutesLeft} * 60 - local.second;
        if (platform::localTimeOf(end).utcOffsetSeconds == local.utcOffsetSeconds)
            return end;
        // The first second of the new offset, between from (old) and end (new).
        std::time_t before = from;
        std::time_t after = end;
        while (after - before > 1) {
            const std::time_t middle = before + (after - before) / 2;
            if (platform::localTimeOf(middle).utcOffsetSeconds == local.utcOffsetSeconds)
                before = middle;
            else
                after = middle;
        }
        if (!isQuietAt(after))
            return after;
        from = after;
    }
    return from;
}

bool QuietHours::holds(AlarmKind kind) const
{
    if (kind == AlarmKind::nearEnd && settings.nearEndAlarmsGoOut)
        return false;
    return isQuiet();
}

std::optional<std::chrono::seconds> QuietHours::untilPeriodEnd() const
{
    const std::time_t now = clock();
    const std::optional<std::time_t> end = periodEndAfter(now);
    if (!end)
        return std::nullopt;
    return std::chrono::seconds(std::max<std::time_t>(*end - now, 1));
}

} // namespace pelimo
