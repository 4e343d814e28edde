// A watch list file as another program or a person may have left it: reading it never
// crashes; a file that cannot be read is moved aside byte for byte; whatever was read comes
// back unchanged from a save and a second read.
#include "FuzzSupport.h"
#include "platform/FileSystem.h"
#include "watch/AramFile.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace pelimo;
    const std::string folder = fuzz::workFolder("aram");
    fuzz::removeFilesIn(folder);
    const std::string input(reinterpret_cast<const char*>(data), size);
    PELIMO_FUZZ_REQUIRE(platform::writeFileAtomically(aramFilePath(folder), input));

    const AramFileLoad first = loadAramFile(folder);
    if (first.outcome == AramFileLoad::Outcome::movedAside) {
        // Nothing the user kept is lost: the file lies beside, as it was.
        const auto aside = platform::readWholeFile(first.movedTo, size + 1);
        PELIMO_FUZZ_REQUIRE(aside && *aside == input);
        PELIMO_FUZZ_REQUIRE(first.records.empty());
        return 0;
    }
    PELIMO_FUZZ_REQUIRE(first.outcome == AramFileLoad::Outcome::loaded);

    PELIMO_FUZZ_REQUIRE(saveAramFile(first.records, folder));
    const AramFileLoad second = loadAramFile(folder);
    PELIMO_FUZZ_REQUIRE(second.outcome == AramFileLoad::Outcome::loaded);
    PELIMO_FUZZ_REQUIRE(second.records == first.records);
    return 0;
}
