#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pelimo {

// The settings of the faster polling near a listing's end, clamped to the ranges the settings
// page offers. Off by default, so the watch list polls only on its regular timer.
struct NearEndSettings {
    int32_t enabled = 0;
    int32_t targetMinutes = 30;   // listings with at most this much left are polled fast
    int32_t intervalSeconds = 60; // between two fast ticks

    static constexpr int32_t kMinTargetMinutes = 1;
    static constexpr int32_t kMaxTargetMinutes = 1440;
    static constexpr int32_t kMinIntervalSeconds = 30;
    static constexpr int32_t kMaxIntervalSeconds = 3600;

    NearEndSettings clamped() const;
};

// Remembers when each watched listing was last fetched and how long it then had left, so the
// watch list can tell which listings are near their end now, and which have ended although
// the service no longer reports them.
class NearEndPolling {
public:
    using Clock = std::chrono::steady_clock;

    // A successful fetch (or a record fresh from a search) with its remaining-time text.
    void fetched(const std::string& itemNo, std::string_view remainTime, Clock::time_point at);
    void forget(const std::string& itemNo);

    // Seconds left now, counted down from the last fetch; nothing when no time is known.
    std::optional<int64_t> secondsLeft(const std::string& itemNo, Clock::time_point now) const;

    // Whether a fast tick fetches the listing: a known remaining time, counted down, at or
    // below the target, a listing the service did not already report over, and not ended.
    bool isNearEnd(const std::string& itemNo, int32_t targetMinutes, Clock::time_point now) const;

    // Called after a failed fetch: true, and the listing counts as ended from now on, when its
    // last known remaining time has run out. A later successful fetch makes it live again.
    bool endedAfterFailure(const std::string& itemNo, Clock::time_point now);
    bool isEnded(const std::string& itemNo) const;

private:
    struct Seen {
        int32_t seconds = -1; // remainingSeconds of the last fetched text
        Clock::time_point at;
        bool ended = false;
    };
    std::unordered_map<std::string, Seen> seen;
};

} // namespace pelimo
