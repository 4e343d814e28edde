#include "tools/listing-sim/RequestLog.h"

#include "platform/text/SjisText.h"

namespace pelimo::sim {
namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string joinLines(const std::deque<std::string>& lines)
{
    std::string out;
    for (const std::string& line : lines)
        out += line + '\n';
    return out;
}

} // namespace

bool isValidUtf8(std::string_view text)
{
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        size_t length = 0;
        if (c < 0x80)
            length = 1;
        else if (c >= 0xC2 && c <= 0xDF)
            length = 2;
        else if (c >= 0xE0 && c <= 0xEF)
            length = 3;
        else if (c >= 0xF0 && c <= 0xF4)
            length = 4;
        else
            return false;
        if (i + length > text.size())
            return false;
        for (size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

std::string decodeQueryValue(std::string_view value)
{
    std::string bytes;
    bytes.reserve(value.size());
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '+') {
            bytes += ' ';
        } else if (value[i] == '%' && i + 2 < value.size() && hexValue(value[i + 1]) >= 0 &&
                   hexValue(value[i + 2]) >= 0) {
            bytes += static_cast<char>(hexValue(value[i + 1]) * 16 + hexValue(value[i + 2]));
            i += 2;
        } else {
            bytes += value[i];
        }
    }
    if (isValidUtf8(bytes))
        return bytes;
    return platform::sjisToUtf8(bytes);
}

std::string decodedTarget(std::string_view target)
{
    const size_t question = target.find('?');
    if (question == std::string_view::npos)
        return std::string(target);
    std::string out(target.substr(0, question + 1));
    std::string_view query = target.substr(question + 1);
    bool first = true;
    while (true) {
        const size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        if (!first)
            out += '&';
        first = false;
        const size_t equals = pair.find('=');
        const std::string_view key = pair.substr(0, equals);
        if (equals != std::string_view::npos && (key == "keyword" || key == "exhibit_id"))
            out += std::string(key) + '=' + decodeQueryValue(pair.substr(equals + 1));
        else
            out += pair;
        if (amp == std::string_view::npos)
            break;
        query = query.substr(amp + 1);
    }
    return out;
}

void RequestLog::add(const std::string& target)
{
    if (rawTargets.size() >= kMaxEntries) {
        rawTargets.pop_front();
        decodedTargets.pop_front();
    }
    rawTargets.push_back(target);
    decodedTargets.push_back(decodedTarget(target));
    ++receivedCount;
}

void RequestLog::clear()
{
    rawTargets.clear();
    decodedTargets.clear();
    receivedCount = 0;
}

std::string RequestLog::raw() const
{
    return joinLines(rawTargets);
}

std::string RequestLog::decoded() const
{
    return joinLines(decodedTargets);
}

} // namespace pelimo::sim
