#pragma once

#include <cstdint>
#include <httplib.h>
#include <optional>
#include <string>

namespace pelimo::sim {

// A decimal integer filling the whole text, or nothing.
std::optional<int64_t> wholeNumber(const std::string& text);

// The parameter as a whole number; nothing when absent or not a number.
std::optional<int64_t> numberParam(const httplib::Request& req, const char* key);

// The parameter's value as UTF-8. httplib has percent-decoded it; a client that sent
// Shift-JIS gets it read as such.
std::string utf8Param(const httplib::Request& req, const char* key);

// A plain-text answer of the control endpoint.
void plainAnswer(httplib::Response& res, const std::string& text, int status = 200);

// The IMF-fixdate (RFC 9110 section 5.6.7) of a moment, that many seconds from now.
std::string httpDate(int64_t secondsAhead);

} // namespace pelimo::sim
