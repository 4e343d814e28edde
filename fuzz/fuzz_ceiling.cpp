// A ceiling amount as the user types it or AramRules.xml holds it: read by the one rule of the
// price fields, reading nothing past the text, and an amount it gives reads back the same.
#include "FuzzSupport.h"
#include "platform/text/PriceText.h"
#include "watch/PriceCeilings.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace pelimo;
    // A copy of exactly the input's length, so a read past the text is caught.
    const std::unique_ptr<char[]> bytes(new char[size == 0 ? 1 : size]);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(data[i]);
    const std::string_view text(bytes.get(), size);

    const std::optional<int32_t> amount = parseCeilingPrice(text);
    PELIMO_FUZZ_REQUIRE(amount == parsePriceText(text).bound());
    if (amount) {
        PELIMO_FUZZ_REQUIRE(*amount >= 0);
        PELIMO_FUZZ_REQUIRE(parseCeilingPrice(std::to_string(*amount)) == amount);
    }
    return 0;
}
