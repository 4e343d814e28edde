#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace pelimo {

namespace platform {
class WaitInterrupt;
}

// One push to the phone as it goes over the wire: a POST to an http(s) address whose body is
// the alarm text in UTF-8, with the title and the page to open in headers (what ntfy servers
// read; any webhook receiver can take it).
struct PushNotice {
    std::string url;
    std::string titleHeader;  // RFC 2047 encoded word
    std::string clickHeader;  // empty: no Click header
    std::string attachHeader; // a picture the phone shows with it; empty: no Attach header
    std::string body;         // UTF-8
};

// How a push went: sent, or a short reason for the status bar (Shift-JIS).
struct PushOutcome {
    bool sent = false;
    std::string reason;
};

inline constexpr std::chrono::milliseconds kPushTimeLimit{10000};

// Whether the address is one a push may go to: http or https, no blanks or control bytes.
bool isPushAddress(std::string_view url);

// The notice for an alarm text (Shift-JIS, the alert mail's body), its title (Shift-JIS, the
// watch list's "アラート情報" or "新着情報") and the item page of the first alarm. Nothing
// when the address is not one a push may go to. pictureUrl, the first alarm's picture, goes
// along when it is an http(s) address that fits in a header.
std::optional<PushNotice> buildPushNotice(const std::string& url, std::string_view titleSjis,
                                          const std::string& clickUrl, std::string_view alarmTextSjis,
                                          const std::string& pictureUrl = {});

// Sends the notice, all of it within the time limit; a raised interrupt ends it at once.
PushOutcome sendPushNotice(const PushNotice& notice, std::chrono::milliseconds limit = kPushTimeLimit,
                           const platform::WaitInterrupt* interrupt = nullptr);

// Builds and sends; an address that is not http(s) is refused without a request.
PushOutcome sendPush(const std::string& url, std::string_view titleSjis, const std::string& clickUrl,
                     std::string_view alarmTextSjis, std::chrono::milliseconds limit = kPushTimeLimit,
                     const platform::WaitInterrupt* interrupt = nullptr);

} // namespace pelimo
