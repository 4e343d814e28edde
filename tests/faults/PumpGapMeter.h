#pragma once

#include "platform/EventPump.h"

#include <chrono>

namespace pelimo::test {

// Measures how long the caller went without handling pending events: installs itself as the
// pump's event handler and keeps the longest gap between two handlings, counting from the
// meter's start and up to stop().
class PumpGapMeter {
public:
    using Clock = std::chrono::steady_clock;

    PumpGapMeter()
    {
        last = Clock::now();
        platform::setPendingEventHandler([this] { mark(); });
    }
    ~PumpGapMeter() { platform::setPendingEventHandler({}); }
    PumpGapMeter(const PumpGapMeter&) = delete;
    PumpGapMeter& operator=(const PumpGapMeter&) = delete;

    void stop()
    {
        mark();
        platform::setPendingEventHandler({});
    }
    std::chrono::milliseconds longestGap() const
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(longest);
    }
    int handled() const { return count; }

private:
    void mark()
    {
        const auto now = Clock::now();
        longest = std::max(longest, now - last);
        last = now;
        ++count;
    }

    Clock::time_point last;
    Clock::duration longest{};
    int count = 0;
};

} // namespace pelimo::test
