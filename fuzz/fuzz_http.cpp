// Whatever a listing service's host sends back on the wire, headers included: the load ends
// within its bounds and never crashes, and a loaded answer is read like any other.
#include "FuzzSupport.h"
#include "LoopbackPeer.h"
#include "xmlclient/ListingQueries.h"
#include "xmlclient/XmlDocumentClient.h"

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace pelimo;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::thread server(fuzz::serve, bytes, true);
    {
        XmlDocumentClient client(LoadLimits{500ms, 64u << 10});
        const std::string url =
            "http://127.0.0.1:" + std::to_string(fuzz::listenerPort()) + "/bep/xml?page=1";
        const int32_t loaded = client.load(url, false);
        PELIMO_FUZZ_REQUIRE(loaded == 0 || loaded == -1);
        std::vector<ItemInfo> records;
        const int32_t count = parseListingItems(client, records);
        if (loaded == -1)
            PELIMO_FUZZ_REQUIRE(count == -1 && records.empty());
    }
    server.join();
    return 0;
}
