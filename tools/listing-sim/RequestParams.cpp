#include "tools/listing-sim/RequestParams.h"

#include "platform/text/SjisText.h"
#include "tools/listing-sim/RequestLog.h"

#include <charconv>
#include <ctime>

namespace pelimo::sim {

std::optional<int64_t> wholeNumber(const std::string& text)
{
    int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<int64_t> numberParam(const httplib::Request& req, const char* key)
{
    if (!req.has_param(key))
        return std::nullopt;
    return wholeNumber(req.get_param_value(key));
}

std::string utf8Param(const httplib::Request& req, const char* key)
{
    std::string value = req.get_param_value(key);
    return isValidUtf8(value) ? value : platform::sjisToUtf8(value);
}

void plainAnswer(httplib::Response& res, const std::string& text, int status)
{
    res.status = status;
    res.set_content(text, "text/plain; charset=utf-8");
}

std::string httpDate(int64_t secondsAhead)
{
    const std::time_t at = std::time(nullptr) + secondsAhead;
    std::tm utc{};
    gmtime_r(&at, &utc);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &utc);
    return text;
}

} // namespace pelimo::sim
