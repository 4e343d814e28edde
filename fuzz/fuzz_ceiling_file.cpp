// A rules file as another program or a person may have left it: reading it never crashes; a
// file that cannot be read is moved aside byte for byte; the rules read are keyed by clean,
// distinct item numbers and come back unchanged from a save and a second read.
#include "FuzzSupport.h"
#include "platform/FileSystem.h"
#include "watch/PriceCeilings.h"
#include "xmlclient/ItemInfo.h"

#include <cstdint>
#include <set>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace pelimo;
    const std::string folder = fuzz::workFolder("rules");
    const std::string path = priceCeilingsPath(folder);
    ::unlink(path.c_str());
    const std::string input(reinterpret_cast<const char*>(data), size);
    PELIMO_FUZZ_REQUIRE(platform::writeFileAtomically(path, input));

    const PriceCeilingsLoad first = loadPriceCeilings(folder);
    if (first.outcome == PriceCeilingsLoad::Outcome::movedAside) {
        const auto aside = platform::readWholeFile(first.movedTo, size + 1);
        PELIMO_FUZZ_REQUIRE(aside && *aside == input);
        PELIMO_FUZZ_REQUIRE(first.rules.empty());
        ::unlink(first.movedTo.c_str());
        return 0;
    }
    PELIMO_FUZZ_REQUIRE(first.outcome == PriceCeilingsLoad::Outcome::loaded);
    std::set<std::string> numbers;
    for (const PriceRule& r : first.rules) {
        PELIMO_FUZZ_REQUIRE(!r.itemNo.empty() && itemNumberOf(r.itemNo) == r.itemNo);
        PELIMO_FUZZ_REQUIRE(r.ceilingPrice >= 0);
        PELIMO_FUZZ_REQUIRE(numbers.insert(r.itemNo).second);
    }

    PELIMO_FUZZ_REQUIRE(savePriceCeilings(first.rules, folder));
    const PriceCeilingsLoad second = loadPriceCeilings(folder);
    PELIMO_FUZZ_REQUIRE(second.outcome == PriceCeilingsLoad::Outcome::loaded);
    PELIMO_FUZZ_REQUIRE(second.rules == first.rules);
    return 0;
}
