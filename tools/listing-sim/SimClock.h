#pragma once

#include <chrono>
#include <cstdint>

namespace pelimo::sim {

// Whole seconds since the simulator started, plus however far tests have moved it on.
// Not thread-safe: the server guards it.
class SimClock {
public:
    int64_t now() const
    {
        const auto elapsed = std::chrono::steady_clock::now() - origin;
        return std::chrono::duration_cast<std::chrono::seconds>(elapsed).count() + offset;
    }
    void advance(int64_t seconds) { offset += seconds; }
    void reset() { offset = 0; }

private:
    std::chrono::steady_clock::time_point origin = std::chrono::steady_clock::now();
    int64_t offset = 0;
};

} // namespace pelimo::sim
