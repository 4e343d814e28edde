#include "xmlclient/RetryAfter.h"

#include <array>

namespace pelimo {
namespace {

using namespace std::chrono;

// Far beyond any wait anybody honours, and safe from overflow in seconds.
constexpr long long kSaturatedSeconds = 1'000'000'000LL;

constexpr std::array<std::string_view, 7> kDayNames = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
constexpr std::array<std::string_view, 7> kLongDayNames = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                                           "Friday", "Saturday", "Sunday"};
constexpr std::array<std::string_view, 12> kMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// Reads the grammar of an HTTP-date left to right; any mismatch leaves it failed.
class DateReader {
public:
    explicit DateReader(std::string_view text) : text(text) {}

    bool literal(std::string_view expected)
    {
        if (text.substr(at, expected.size()) != expected)
            return fail();
        at += expected.size();
        return ok;
    }
    bool number(size_t digits, int& out)
    {
        out = 0;
        for (size_t i = 0; i < digits; ++i) {
            if (at >= text.size() || !isDigit(text[at]))
                return fail();
            out = out * 10 + (text[at++] - '0');
        }
        return ok;
    }
    template <size_t N> bool name(const std::array<std::string_view, N>& names, int* index = nullptr)
    {
        for (size_t i = 0; i < N; ++i) {
            if (text.substr(at, names[i].size()) == names[i]) {
                at += names[i].size();
                if (index)
                    *index = static_cast<int>(i);
                return ok;
            }
        }
        return fail();
    }
    // hour ":" minute ":" second
    bool timeOfDay(int& hour, int& minute, int& second)
    {
        return number(2, hour) && literal(":") && number(2, minute) && literal(":") && number(2, second);
    }
    // Two digits, or a blank and one digit.
    bool dayOfMonth(int& out)
    {
        if (at < text.size() && text[at] == ' ')
            return literal(" ") && number(1, out);
        return number(2, out);
    }
    bool atEnd() { return at == text.size() ? ok : fail(); }

private:
    bool fail()
    {
        ok = false;
        at = text.size() + 1; // nothing matches any more
        return false;
    }

    std::string_view text;
    size_t at = 0;
    bool ok = true;
};

struct DateFields {
    int year = 0;
    int month = 0; // 0..11
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Sun, 06 Nov 1994 08:49:37 GMT
bool readImfFixdate(std::string_view text, DateFields& d)
{
    DateReader r(text);
    return r.name(kDayNames) && r.literal(", ") && r.number(2, d.day) && r.literal(" ") &&
           r.name(kMonthNames, &d.month) && r.literal(" ") && r.number(4, d.year) && r.literal(" ") &&
           r.timeOfDay(d.hour, d.minute, d.second) && r.literal(" GMT") && r.atEnd();
}

// Sunday, 06-Nov-94 08:49:37 GMT; the two-digit year is the one that is not more than 50 years
// ahead of now.
bool readRfc850Date(std::string_view text, int thisYear, DateFields& d)
{
    DateReader r(text);
    int shortYear = 0;
    if (!(r.name(kLongDayNames) && r.literal(", ") && r.number(2, d.day) && r.literal("-") &&
          r.name(kMonthNames, &d.month) && r.literal("-") && r.number(2, shortYear) && r.literal(" ") &&
          r.timeOfDay(d.hour, d.minute, d.second) && r.literal(" GMT") && r.atEnd()))
        return false;
    d.year = thisYear - thisYear % 100 + shortYear;
    if (d.year > thisYear + 50)
        d.year -= 100;
    return true;
}

// Sun Nov  6 08:49:37 1994
bool readAsctimeDate(std::string_view text, DateFields& d)
{
    DateReader r(text);
    return r.name(kDayNames) && r.literal(" ") && r.name(kMonthNames, &d.month) && r.literal(" ") &&
           r.dayOfMonth(d.day) && r.literal(" ") && r.timeOfDay(d.hour, d.minute, d.second) &&
           r.literal(" ") && r.number(4, d.year) && r.atEnd();
}

std::optional<system_clock::time_point> httpDate(std::string_view text, system_clock::time_point now)
{
    const int thisYear = static_cast<int>(year_month_day(floor<days>(now)).year());
    DateFields d;
    if (!readImfFixdate(text, d) && !readRfc850Date(text, thisYear, d) && !readAsctimeDate(text, d))
        return std::nullopt;
    const year_month_day date{year(d.year), month(static_cast<unsigned>(d.month + 1)),
                              day(static_cast<unsigned>(d.day))};
    // A leap second reads as the second after it.
    if (!date.ok() || d.hour > 23 || d.minute > 59 || d.second > 60)
        return std::nullopt;
    return sys_days(date) + hours(d.hour) + minutes(d.minute) + seconds(d.second);
}

} // namespace

std::optional<seconds> retryAfterWait(std::string_view value, system_clock::time_point now)
{
    const std::string_view text = trimmed(value);
    if (text.empty())
        return std::nullopt;
    if (isDigit(text.front())) {
        long long total = 0;
        for (const char c : text) {
            if (!isDigit(c))
                return std::nullopt;
            total = std::min(kSaturatedSeconds, total * 10 + (c - '0'));
        }
        return seconds(total);
    }
    const std::optional<system_clock::time_point> at = httpDate(text, now);
    if (!at)
        return std::nullopt;
    if (*at <= now)
        return seconds(0);
    return std::min(ceil<seconds>(*at - now), seconds(kSaturatedSeconds));
}

} // namespace pelimo
