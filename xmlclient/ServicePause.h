#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace pelimo {

// How long requests to a paused service must still wait.
struct ServiceWait {
    std::chrono::milliseconds left{0};
    // The same moment on the wall clock, for the status line.
    std::chrono::system_clock::time_point resumesAt;
};

// The services that asked us to stop for a while: an answer 429 (too many requests) or 503
// (unavailable) holds every request to that service until its Retry-After has passed. A
// service is named by the scheme, host and port of any of its addresses. The wait runs on the
// steady clock, so a change of the wall clock neither ends nor stretches it. Used on the
// user-interface thread, where every load runs.
class ServicePause {
public:
    using SteadyNow = std::function<std::chrono::steady_clock::time_point()>;
    using WallNow = std::function<std::chrono::system_clock::time_point()>;

    // Without a Retry-After we can read.
    static constexpr std::chrono::seconds kDefaultWait{60};
    // Never back at once: a service answering "0" again and again would be asked without rest.
    static constexpr std::chrono::seconds kShortestWait{1};
    // A service asking for days would otherwise silence the watch list for good.
    static constexpr std::chrono::seconds kLongestWait{3600};

    ServicePause() = default;
    ServicePause(SteadyNow steadyNow, WallNow wallNow);

    // The process's one record, consulted by every request to the listing service.
    static ServicePause& shared();

    // Empty functions go back to the real clocks.
    void setClocks(SteadyNow steadyNow, WallNow wallNow);

    // Takes note of an answer of the service at address: its HTTP status and its Retry-After
    // field as sent (nothing when absent). True when the answer asks us to wait; a wait
    // already running is never shortened.
    bool answered(std::string_view address, long httpStatus, const std::optional<std::string>& retryAfter);
    // The wait still ahead for the service at address; nothing when its requests may go.
    std::optional<ServiceWait> waitFor(std::string_view address) const;
    // Every service may be asked again.
    void clear() { pausedUntil.clear(); }

private:
    std::chrono::steady_clock::time_point steadyNow() const;
    std::chrono::system_clock::time_point wallNow() const;

    SteadyNow steadyClock;
    WallNow wallClock;
    std::map<std::string, std::chrono::steady_clock::time_point> pausedUntil;
};

// The status line while a service makes us wait: when requests resume, as local time
// (Shift-JIS).
std::string servicePauseStatus(std::chrono::system_clock::time_point resumesAt);

} // namespace pelimo
