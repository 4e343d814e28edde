#include "tools/listing-sim/SimOptions.h"

#include <charconv>

namespace pelimo::sim {
namespace {

template <typename T> bool parseNumber(const std::string& text, T low, T high, T& out)
{
    T value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return false;
    out = value;
    return true;
}

} // namespace

std::optional<SimOptions> parseOptions(const std::vector<std::string>& args, std::string& error)
{
    SimOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (i + 1 >= args.size()) {
            error = "missing value after " + name;
            return std::nullopt;
        }
        const std::string& value = args[++i];
        bool ok = true;
        if (name == "--port") {
            ok = parseNumber(value, 0, 65535, options.port);
        } else if (name == "--delay-ms") {
            ok = parseNumber(value, 0, 600000, options.delayMs);
        } else if (name == "--seed") {
            ok = parseNumber<uint64_t>(value, 0, UINT64_MAX, options.seed);
        } else if (name == "--fault") {
            const auto mode = faultModeNamed(value);
            ok = mode.has_value();
            if (ok)
                options.fault = *mode;
        } else if (name == "--hits") {
            const size_t equals = value.rfind('=');
            size_t count = 0;
            ok = equals != std::string::npos && equals > 0 &&
                 parseNumber<size_t>(value.substr(equals + 1), 0, 1000000, count);
            if (ok)
                options.hits.emplace_back(value.substr(0, equals), count);
        } else {
            error = "unknown option " + name;
            return std::nullopt;
        }
        if (!ok) {
            error = "bad value for " + name + ": " + value;
            return std::nullopt;
        }
    }
    return options;
}

} // namespace pelimo::sim
