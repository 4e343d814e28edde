// The numbers and the text order the lists sort by: no read past a text's end, and the
// text order is a strict weak order (antisymmetric and transitive on any three texts).
#include "FuzzSupport.h"
#include "listing/ListingOrder.h"
#include "platform/text/NumberText.h"
#include "xmlclient/AuctionType.h"

#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

int sign(int value)
{
    return (value > 0) - (value < 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace pelimo;
    // Three texts separated by NUL bytes, each in a heap block of exactly its size, so that
    // a read past a text's end lands in the sanitizer's red zone.
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    std::vector<char> parts[3];
    size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        const size_t end = i < 2 ? all.find('\0', start) : std::string_view::npos;
        const std::string_view part =
            all.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        parts[i] = std::vector<char>(part.begin(), part.end());
        start = end == std::string_view::npos ? all.size() : end + 1;
    }
    const std::string_view a(parts[0].data(), parts[0].size());
    const std::string_view b(parts[1].data(), parts[1].size());
    const std::string_view c(parts[2].data(), parts[2].size());

    (void)remainingSeconds(a);
    (void)priceValue(a);
    for (int column = 0; column < kListingColumnCount; ++column)
        (void)numericSortValue(column, a);

    // A plain decimal within 32 bits reads as itself.
    int32_t exact = 0;
    const auto [rest, error] = std::from_chars(a.data(), a.data() + a.size(), exact);
    const int32_t leading = leadingInteger(a);
    if (error == std::errc{} && rest == a.data() + a.size() && !a.empty() && a[0] != '-')
        PELIMO_FUZZ_REQUIRE(leading == exact);

    PELIMO_FUZZ_REQUIRE(compareSjisText(a, a) == 0);
    const int ab = sign(compareSjisText(a, b));
    const int ba = sign(compareSjisText(b, a));
    const int bc = sign(compareSjisText(b, c));
    const int ac = sign(compareSjisText(a, c));
    PELIMO_FUZZ_REQUIRE(ab == -ba);
    if (ab <= 0 && bc <= 0)
        PELIMO_FUZZ_REQUIRE(ac <= 0);
    if (ab >= 0 && bc >= 0)
        PELIMO_FUZZ_REQUIRE(ac >= 0);
    if (ab == 0)
        PELIMO_FUZZ_REQUIRE(sign(compareSjisText(a, c)) == bc);
    return 0;
}
