#include "watch/NearEndPolling.h"

#include "xmlclient/AuctionType.h"

#include <algorithm>

namespace pelimo {

NearEndSettings NearEndSettings::clamped() const
{
    NearEndSettings s = *this;
    s.enabled = enabled == 1 ? 1 : 0;
    s.targetMinutes = std::clamp(targetMinutes, kMinTargetMinutes, kMaxTargetMinutes);
    s.intervalSeconds = std::clamp(intervalSeconds, kMinIntervalSeconds, kMaxIntervalSeconds);
    return s;
}

void NearEndPolling::fetched(const std::string& itemNo, std::string_view remainTime, Clock::time_point at)
{
    seen[itemNo] = Seen{remainingSeconds(remainTime), at, false};
}

void NearEndPolling::forget(const std::string& itemNo)
{
    seen.erase(itemNo);
}

std::optional<int64_t> NearEndPolling::secondsLeft(const std::string& itemNo, Clock::time_point now) const
{
    const auto it = seen.find(itemNo);
    if (it == seen.end() || it->second.seconds < 0)
        return std::nullopt;
    const int64_t elapsed = std::chrono::duration_cast<std::chrono::seconds>(now - it->second.at).count();
    return int64_t{it->second.seconds} - elapsed;
}

bool NearEndPolling::isNearEnd(const std::string& itemNo, int32_t targetMinutes, Clock::time_point now) const
{
    const auto it = seen.find(itemNo);
    // A listing the service last reported with no time left has ended there already.
    if (it == seen.end() || it->second.ended || it->second.seconds <= 0)
        return false;
    const std::optional<int64_t> left = secondsLeft(itemNo, now);
    return left && *left <= int64_t{targetMinutes} * 60;
}

bool NearEndPolling::endedAfterFailure(const std::string& itemNo, Clock::time_point now)
{
    const std::optional<int64_t> left = secondsLeft(itemNo, now);
    if (!left || *left > 0)
        return false;
    seen[itemNo].ended = true;
    return true;
}

bool NearEndPolling::isEnded(const std::string& itemNo) const
{
    const auto it = seen.find(itemNo);
    return it != seen.end() && it->second.ended;
}

} // namespace pelimo
