#pragma once

#include <deque>
#include <string>
#include <string_view>

namespace pelimo::sim {

// The request targets of the listing service received so far, raw as they came on the wire
// and with their keyword and exhibit_id values decoded. Keeps the latest kMaxEntries, so a
// simulator left running for days does not grow without end. Not thread-safe: the server
// guards it.
class RequestLog {
public:
    static constexpr size_t kMaxEntries = 200000;

    void add(const std::string& target);
    void clear();
    std::string raw() const;     // one target per line
    std::string decoded() const; // one target per line
    // How many targets came since the last clear, also those no longer kept.
    size_t received() const { return receivedCount; }

private:
    std::deque<std::string> rawTargets;
    std::deque<std::string> decodedTargets;
    size_t receivedCount = 0;
};

// Percent-decodes a query value ('+' is a blank). Bytes that are not UTF-8 are read as
// Shift-JIS, the other encoding a client of this service may send, and given as UTF-8.
std::string decodeQueryValue(std::string_view value);

// The target with its keyword and exhibit_id values decoded by decodeQueryValue.
std::string decodedTarget(std::string_view target);

bool isValidUtf8(std::string_view text);

} // namespace pelimo::sim
