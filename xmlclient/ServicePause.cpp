#include "xmlclient/ServicePause.h"

#include "XmlClientTexts.h"
#include "platform/LocalTime.h"
#include "platform/text/WebAddress.h"
#include "xmlclient/RetryAfter.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>

namespace pelimo {
namespace {

using namespace std::chrono;

constexpr long kTooManyRequests = 429;
constexpr long kServiceUnavailable = 503;

// Scheme, host and port of an address, in lower case: everything before its path.
std::string serviceOf(std::string_view address)
{
    const size_t scheme = webSchemeLength(address);
    const size_t end = address.find_first_of("/?#", scheme);
    std::string service(address.substr(0, end));
    std::transform(service.begin(), service.end(), service.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return service;
}

} // namespace

ServicePause::ServicePause(SteadyNow steadyNow, WallNow wallNow)
    : steadyClock(std::move(steadyNow)), wallClock(std::move(wallNow))
{}

ServicePause& ServicePause::shared()
{
    static ServicePause pause;
    return pause;
}

void ServicePause::setClocks(SteadyNow steadyNow, WallNow wallNow)
{
    steadyClock = std::move(steadyNow);
    wallClock = std::move(wallNow);
}

steady_clock::time_point ServicePause::steadyNow() const
{
    return steadyClock ? steadyClock() : steady_clock::now();
}

system_clock::time_point ServicePause::wallNow() const
{
    return wallClock ? wallClock() : system_clock::now();
}

bool ServicePause::answered(std::string_view address, long httpStatus,
                            const std::optional<std::string>& retryAfter)
{
    if (httpStatus != kTooManyRequests && httpStatus != kServiceUnavailable)
        return false;
    std::optional<seconds> wait = retryAfter ? retryAfterWait(*retryAfter, wallNow()) : std::nullopt;
    const seconds held = std::clamp(wait.value_or(kDefaultWait), kShortestWait, kLongestWait);
    const steady_clock::time_point until = steadyNow() + held;
    auto [entry, added] = pausedUntil.try_emplace(serviceOf(address), until);
    if (!added)
        entry->second = std::max(entry->second, until);
    return true;
}

std::optional<ServiceWait> ServicePause::waitFor(std::string_view address) const
{
    const auto entry = pausedUntil.find(serviceOf(address));
    if (entry == pausedUntil.end())
        return std::nullopt;
    const steady_clock::time_point now = steadyNow();
    if (entry->second <= now)
        return std::nullopt;
    const milliseconds left = ceil<milliseconds>(entry->second - now);
    return ServiceWait{left, wallNow() + left};
}

std::string servicePauseStatus(system_clock::time_point resumesAt)
{
    // Rounded up, so the time said is never before requests really go again.
    const std::time_t resumes = system_clock::to_time_t(ceil<seconds>(resumesAt));
    std::tm local{};
    platform::localCalendarTime(resumes, local);
    char clock[16];
    std::snprintf(clock, sizeof clock, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
    char text[256];
    std::snprintf(text, sizeof text, xmltext::kStatusServicePaused, clock);
    return text;
}

} // namespace pelimo
