#pragma once

#include <optional>
#include <string_view>

namespace pelimo::sim {

// How the listing service misbehaves for the next requests.
enum class FaultMode {
    None,
    Html,      // HTTP 500 with an HTML error page
    Malformed, // 200, an XML answer cut inside an element
    Drop,      // headers and part of the body, then the connection is closed
    Hang,      // no answer until the client goes away or the simulator stops
    Huge,      // a well-formed answer over 16 MiB, streamed
    Bomb,      // an entity-expansion document
    Slow,      // the answer's bytes one at a time with a pause between them
    Empty,     // a well-formed answer that promises more pages but holds no listing
    RateLimit, // 429 (or 503), with a Retry-After in seconds or as a date, or none
};

std::optional<FaultMode> faultModeNamed(std::string_view name);

} // namespace pelimo::sim
