// A price field as a person may fill it: the parser reads nothing past the text, an amount it
// gives is read the same when written plainly, grouped by commas or with blanks around, and
// a text it refuses stays refused with a "円" after it.
#include "FuzzSupport.h"
#include "platform/text/PriceText.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace {

std::string grouped(int32_t amount)
{
    std::string digits = std::to_string(amount);
    for (size_t i = digits.size(); i > 3; i -= 3)
        digits.insert(i - 3, ",");
    return digits;
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

    const PriceText read = parsePriceText(text);
    if (read.kind == PriceText::Kind::amount) {
        PELIMO_FUZZ_REQUIRE(read.amount >= 0);
        PELIMO_FUZZ_REQUIRE(parsePriceText(std::to_string(read.amount)).bound() == read.amount);
        PELIMO_FUZZ_REQUIRE(parsePriceText(grouped(read.amount)).bound() == read.amount);
        const std::string padded = "\x81\x40 " + std::string(text) + "\t";
        PELIMO_FUZZ_REQUIRE(parsePriceText(padded).bound() == read.amount);
    } else if (read.refused()) {
        PELIMO_FUZZ_REQUIRE(parsePriceText(std::string(text) + "\x89\x7e").refused());
    } else {
        PELIMO_FUZZ_REQUIRE(read.kind == PriceText::Kind::noBound && !read.bound());
    }
    return 0;
}
