#include "notify/PushNotice.h"

#include "NotifyTexts.h"
#include "mail/InterruptibleCurl.h"
#include "platform/text/Base64.h"
#include "platform/text/SjisText.h"
#include "platform/text/WebAddress.h"

#include <curl/curl.h>
#include <memory>
#include <vector>

namespace pelimo {
namespace {

struct PostResult {
    long status = 0;   // the HTTP status, 0 when none came
    std::string error; // curl's word for a transfer that failed
};

// One POST, bounded as a whole; it blocks its thread, which is never the window's.
PostResult httpPost(const std::string& url, const std::vector<std::string>& headers, const std::string& body,
                    std::chrono::milliseconds limit, const platform::WaitInterrupt* interrupt)
{
    PostResult result;
    const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), &curl_easy_cleanup);
    if (!curl) {
        result.error = "curl_easy_init";
        return result;
    }
    curl_slist* list = nullptr;
    for (const std::string& h : headers)
        list = curl_slist_append(list, h.c_str());
    const std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headerList(list, &curl_slist_free_all);
    const auto discard = +[](char*, size_t size, size_t count, void*) -> size_t {
        return size * count;
    };
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(limit.count()));
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limit.count()));
    curl_easy_setopt(c, CURLOPT_POST, 1L);
    curl_easy_setopt(c, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headerList.get());
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, discard);
    const CURLcode rc = performInterruptibly(c, interrupt);
    if (rc != CURLE_OK) {
        result.error = curl_easy_strerror(rc);
        return result;
    }
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &result.status);
    return result;
}

// The failure text with its detail in place of its one "%s" (a byte pair no Shift-JIS
// character holds, as '%' is never a trail byte).
std::string failedText(const std::string& detail)
{
    std::string text = notify_text::kPushFailed;
    if (const size_t at = text.find("%s"); at != std::string::npos)
        text.replace(at, 2, detail);
    return text;
}

// Header values go out as they are; a CR, LF or other control byte would end the header.
bool isCleanHeaderValue(std::string_view value)
{
    for (const char ch : value) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7f)
            return false;
    }
    return true;
}

} // namespace

bool isPushAddress(std::string_view url)
{
    const size_t schemeEnd = webSchemeLength(url);
    if (schemeEnd == 0 || url.size() == schemeEnd)
        return false;
    for (const char ch : url) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c >= 0x7f)
            return false;
    }
    return true;
}

std::optional<PushNotice> buildPushNotice(const std::string& url, std::string_view titleSjis,
                                          const std::string& clickUrl, std::string_view alarmTextSjis,
                                          const std::string& pictureUrl)
{
    if (!isPushAddress(url))
        return std::nullopt;
    PushNotice notice;
    notice.url = url;
    // RFC 2047 section 4.1: an encoded word in UTF-8, B form.
    notice.titleHeader = "=?UTF-8?B?" + base64Encode(platform::sjisToUtf8(titleSjis)) + "?=";
    if (isCleanHeaderValue(clickUrl))
        notice.clickHeader = clickUrl;
    if (isPushAddress(pictureUrl))
        notice.attachHeader = pictureUrl;
    notice.body = platform::sjisToUtf8(alarmTextSjis);
    return notice;
}

PushOutcome sendPushNotice(const PushNotice& notice, std::chrono::milliseconds limit,
                           const platform::WaitInterrupt* interrupt)
{
    std::vector<std::string> headers = {"Title: " + notice.titleHeader,
                                        "Content-Type: text/plain; charset=utf-8",
                                        // No wait for a "100 Continue" that many receivers never send.
                                        "Expect:"};
    if (!notice.clickHeader.empty())
        headers.push_back("Click: " + notice.clickHeader);
    if (!notice.attachHeader.empty())
        headers.push_back("Attach: " + notice.attachHeader);
    const PostResult posted = httpPost(notice.url, headers, notice.body, limit, interrupt);
    PushOutcome outcome;
    if (!posted.error.empty())
        outcome.reason = failedText(posted.error);
    else if (posted.status < 200 || posted.status > 299)
        outcome.reason = failedText("HTTP " + std::to_string(posted.status));
    else
        outcome.sent = true;
    return outcome;
}

PushOutcome sendPush(const std::string& url, std::string_view titleSjis, const std::string& clickUrl,
                     std::string_view alarmTextSjis, std::chrono::milliseconds limit,
                     const platform::WaitInterrupt* interrupt)
{
    const std::optional<PushNotice> notice = buildPushNotice(url, titleSjis, clickUrl, alarmTextSjis);
    if (!notice)
        return PushOutcome{false, notify_text::kPushBadAddress};
    return sendPushNotice(*notice, limit, interrupt);
}

} // namespace pelimo
