// A ceiling amount as the user types it or a file holds it: the parser reads nothing past the
// text, and accepts exactly the texts that are decimal digits (blanks around them allowed)
// worth at most the largest yen amount, giving their value.
#include "FuzzSupport.h"
#include "watch/AramRules.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace {

// The same rule written the plain way, to hold the parser to.
std::optional<int32_t> expectedAmount(std::string_view text)
{
    const auto blank = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n';
    };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    if (text.empty())
        return std::nullopt;
    int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > std::numeric_limits<int32_t>::max())
            return std::nullopt;
    }
    return static_cast<int32_t>(value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace pelimo;
    // A copy of exactly the input's length, so a read past the text is caught.
    const std::unique_ptr<char[]> bytes(new char[size == 0 ? 1 : size]);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(data[i]);
    const std::string_view text(bytes.get(), size);

    const std::optional<int32_t> amount = parseCeilingPrice(text);
    PELIMO_FUZZ_REQUIRE(amount == expectedAmount(text));
    if (amount)
        PELIMO_FUZZ_REQUIRE(parseCeilingPrice(std::to_string(*amount)) == amount);
    return 0;
}
