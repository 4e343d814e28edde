// The price history reads two things from the listing service: the price and bid texts, and
// the titles it matches relistings and the archive's filter by. No read past a text's end; a
// text read as a price is a price that reads back the same when written out again; a title's
// match key holds no line feed.
#include "FuzzSupport.h"
#include "PlatformTexts.h"
#include "platform/text/NormalizedTitle.h"
#include "platform/text/PriceText.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

// "1,234,567円", as the service writes prices.
std::string priceText(int64_t yen)
{
    std::string digits = std::to_string(yen);
    std::string text;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            text += ',';
        text += digits[i];
    }
    return text + pelimo::platform_text::kYen;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace pelimo;
    // The text in a heap block of exactly its size, so a read past its end is caught.
    const std::vector<char> bytes(data, data + size);
    const std::string_view text(bytes.data(), bytes.size());

    if (const std::optional<int64_t> yen = parsePriceYen(text)) {
        PELIMO_FUZZ_REQUIRE(*yen >= 0 && *yen < 1000000000000000);
        PELIMO_FUZZ_REQUIRE(parsePriceYen(priceText(*yen)) == yen);
    }
    if (const std::optional<int64_t> count = parseCount(text))
        PELIMO_FUZZ_REQUIRE(*count >= 0 && parsePriceYen(text) == count);

    // The archive's filter keeps the keys of all rows in one text, one a line.
    PELIMO_FUZZ_REQUIRE(normalizedTitle(text).find('\n') == std::string::npos);
    return 0;
}
