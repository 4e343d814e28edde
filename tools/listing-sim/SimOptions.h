#pragma once

#include "tools/listing-sim/FaultMode.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pelimo::sim {

// The simulator's command line.
struct SimOptions {
    int port = 8931; // 0 = any free port
    int delayMs = 0;
    FaultMode fault = FaultMode::None;
    uint64_t seed = 20260101;
    std::vector<std::pair<std::string, size_t>> hits;
};

// Parses the arguments after the program name; on a bad one returns nothing and says why.
std::optional<SimOptions> parseOptions(const std::vector<std::string>& args, std::string& error);

inline constexpr const char* kUsage =
    "usage: listing-sim [--port N] [--delay-ms N] [--fault MODE] [--seed N] [--hits WORD=COUNT]...\n"
    "  MODE: none html malformed drop hang huge bomb slow\n";

} // namespace pelimo::sim
