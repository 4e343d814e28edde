#include "xmlclient/Endpoints.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace pelimo {
namespace {

TEST(Endpoints, ServiceAddressesAreHttpOrHttpsWithHostAndPortOnly)
{
    const struct {
        const char* text;
        std::optional<std::string> stored;
    } cases[] = {
        {"", ""},
        {"  ", ""},
        {"https://example.test:8443", "https://example.test:8443"},
        {" http://127.0.0.1:8931/ ", "http://127.0.0.1:8931"},
        {"HTTP://Example.Test", "HTTP://Example.Test"},
        {"http://[::1]:80", "http://[::1]:80"},
        {"ftp://x", std::nullopt},
        {"example.test", std::nullopt},
        {"http://", std::nullopt},
        {"http://host/path", std::nullopt},
        {"http://host:0", std::nullopt},
        {"http://host:65536", std::nullopt},
        {"http://host:", std::nullopt},
        {"http://user@host", std::nullopt},
        {"http://host?q=1", std::nullopt},
        {"http://-host", std::nullopt},
        {"http://ho st", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(normalizeServiceAddress(c.text), c.stored) << c.text;
}

TEST(Endpoints, EnvironmentBeatsSettingBeatsBuiltInDefault)
{
    ::unsetenv("PELIMO_LISTING_BASE");
    ::unsetenv("PELIMO_ITEMPAGE_BASE");
    EXPECT_EQ(resolveEndpoints("", ""), Endpoints{});

    Endpoints fromFile = resolveEndpoints("https://list.example.test:8443/", "http://items.example.test");
    EXPECT_EQ(fromFile.listingBase, "https://list.example.test:8443");
    EXPECT_EQ(fromFile.itemPageBase, "http://items.example.test");
    EXPECT_EQ(resolveEndpoints("ftp://x", "").listingBase, Endpoints::kDefaultBase)
        << "a hand-edited bad address is passed over";

    ::setenv("PELIMO_LISTING_BASE", "http://127.0.0.1:5555", 1);
    fromFile = resolveEndpoints("https://list.example.test:8443", "http://items.example.test");
    ::unsetenv("PELIMO_LISTING_BASE");
    EXPECT_EQ(fromFile.listingBase, "http://127.0.0.1:5555");
    EXPECT_EQ(fromFile.itemPageBase, "http://items.example.test");
}

} // namespace
} // namespace pelimo
