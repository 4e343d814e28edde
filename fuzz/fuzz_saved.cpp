// A saved search file as another program or a person may have left it: reading it never
// crashes; a file that cannot be read is moved aside byte for byte; the searches read come
// back as the same records from a save and a second read.
#include "FuzzSupport.h"
#include "platform/FileSystem.h"
#include "search/saved/SavedSearchFile.h"

#include <chrono>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace pelimo;
    using namespace std::chrono;
    // A fixed clock: a listing seen "later than now" or without a time reads as seen now.
    const SeenSet::Time now = sys_days{2026y / 12 / 8} + 9h;
    const std::string folder = fuzz::workFolder("saved");
    fuzz::removeFilesIn(folder);
    const std::string input(reinterpret_cast<const char*>(data), size);
    PELIMO_FUZZ_REQUIRE(platform::writeFileAtomically(savedSearchFilePath(folder), input));

    const SavedSearchFileLoad first = loadSavedSearchFile(folder, now);
    if (first.outcome == SavedSearchFileLoad::Outcome::movedAside) {
        const auto aside = platform::readWholeFile(first.movedTo, size + 1);
        PELIMO_FUZZ_REQUIRE(aside && *aside == input);
        PELIMO_FUZZ_REQUIRE(first.searches.empty());
        return 0;
    }
    PELIMO_FUZZ_REQUIRE(first.outcome == SavedSearchFileLoad::Outcome::loaded);
    for (const SavedSearch& s : first.searches) {
        for (const auto& [itemNo, when] : s.seen.ordered())
            PELIMO_FUZZ_REQUIRE(!itemNo.empty() && itemNo == itemNumberKey(itemNo) && when <= now);
    }

    PELIMO_FUZZ_REQUIRE(saveSavedSearchFile(first.searches, folder));
    const SavedSearchFileLoad second = loadSavedSearchFile(folder, now + hours(1));
    PELIMO_FUZZ_REQUIRE(second.outcome == SavedSearchFileLoad::Outcome::loaded);
    PELIMO_FUZZ_REQUIRE(second.searches.size() == first.searches.size());
    // Every field the file holds, compared through the bytes the writer gives each record.
    const std::string before = serializeSavedSearchFile(first.searches);
    const std::string after = serializeSavedSearchFile(second.searches);
    PELIMO_FUZZ_REQUIRE(before == after);
    PELIMO_FUZZ_REQUIRE(platform::readWholeFile(savedSearchFilePath(folder), before.size() + 1) == before);
    return 0;
}
