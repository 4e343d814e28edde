#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace pelimo {

// The minutes after local midnight that "HH:MM" names: hours 0 to 23 in one or two digits,
// minutes 00 to 59 in two, half- or full-width digits and colon, blanks around (Shift-JIS).
// Nothing for any other text, "24:00" included.
std::optional<int> parseClockTime(std::string_view sjis);

// The "HH:MM" a time of day is stored as.
std::string clockTimeText(int minuteOfDay);

// The user's quiet period: while it lasts, alarms are not told (no balloon or desktop
// notification, mail or push) but held until it ends. A period whose end comes before its
// start spans midnight; one whose start and end are the same is empty (nothing is ever held),
// so a period cannot hold alarms without ever ending.
struct QuietHoursSettings {
    bool enabled = false;
    int startMinute = 0; // minutes after local midnight, 0 to 1439
    int endMinute = 0;
    bool nearEndAlarmsGoOut = true; // remaining-time alarms are told even in the period

    bool operator==(const QuietHoursSettings&) const = default;
};

// Which settings field a stored value could not be read from.
enum class QuietHoursField { start, end };

struct QuietHoursRead {
    QuietHoursSettings settings;
    std::optional<QuietHoursField> invalid; // the first time that is no "HH:MM"
};

// The settings from the four values of the settings file: the two flags count as on only when
// exactly 1, as every flag does. When the period is on, a time that cannot be read turns it off
// (alarms are told as without it) and is named in invalid; when it is off, the times may hold
// anything.
QuietHoursRead readQuietHours(int32_t enabled, std::string_view start, std::string_view end,
                              int32_t nearEndAlarmsGoOut);

// The kinds of alarm the quiet period treats differently.
enum class AlarmKind {
    nearEnd, // a watched listing's remaining time fell below the threshold
    other,   // a price change, a ceiling crossed, a new listing of a saved search
};

// Whether alarms are held at a moment, and until when. Times of day are read on the machine's
// local clock (where the zone has daylight saving time, the wall clock decides: a period ends
// when the local clock first shows a time outside it). The clock is injectable for tests.
class QuietHours {
public:
    using Clock = std::function<std::time_t()>;

    explicit QuietHours(QuietHoursSettings settings = {}, Clock clock = systemClock);

    void setSettings(const QuietHoursSettings& s) { settings = s; }
    const QuietHoursSettings& current() const { return settings; }

    // Whether the period is on and the local time of the moment lies in it.
    bool isQuietAt(std::time_t at) const;
    // The first moment after at that lies outside the period at lies in; nothing when at lies
    // in no period.
    std::optional<std::time_t> periodEndAfter(std::time_t at) const;

    // Now, by the clock.
    bool isQuiet() const { return isQuietAt(clock()); }
    // Whether an alarm of the kind is held now.
    bool holds(AlarmKind kind) const;
    // How long until the present period ends (never zero): for the timer that tells what was
    // held. Nothing when it is not quiet now. When the timer fires, ask again: the settings
    // may have changed, and where the local clock is set back the period may resume.
    std::optional<std::chrono::seconds> untilPeriodEnd() const;

    static std::time_t systemClock() { return std::time(nullptr); }

private:
    bool inPeriod(int minuteOfDay) const;

    QuietHoursSettings settings;
    Clock clock;
};

} // namespace pelimo
