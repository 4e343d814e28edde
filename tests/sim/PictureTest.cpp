// The listings' pictures: every listing reports one at the simulator, served as a small PNG
// that a client can keep, and made to fail on request for the client's own tests.
#include "SimTestTexts.h"
#include "tests/sim/SimAnswers.h"

#include <chrono>
#include <cstring>
#include <zlib.h>

namespace pelimo::test {
namespace {

struct Picture {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgb;
};

uint32_t bigEndian(const std::string& bytes, size_t at)
{
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i)
        value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
    return value;
}

uint8_t paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return static_cast<uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// A PNG decoder for 8-bit RGB without interlacing, as a client would read the file: every
// chunk's CRC checked, the data inflated to exactly the rows' size and unfiltered.
std::optional<Picture> decodePng(const std::string& bytes)
{
    if (bytes.size() < 8 || bytes.compare(0, 8, std::string("\x89PNG\r\n\x1a\n", 8)) != 0)
        return std::nullopt;
    Picture picture;
    std::string packed;
    bool ended = false;
    for (size_t at = 8; !ended;) {
        if (at + 12 > bytes.size())
            return std::nullopt;
        const uint32_t length = bigEndian(bytes, at);
        if (length > bytes.size() - at - 12)
            return std::nullopt;
        const std::string type = bytes.substr(at + 4, 4);
        const std::string data = bytes.substr(at + 8, length);
        const auto* typed = reinterpret_cast<const Bytef*>(bytes.data() + at + 4);
        if (crc32(crc32(0, nullptr, 0), typed, length + 4) != bigEndian(bytes, at + 8 + length))
            return std::nullopt;
        if (type == "IHDR") {
            if (length != 13 || data[8] != 8 || data[9] != 2 || data[12] != 0)
                return std::nullopt;
            picture.width = bigEndian(data, 0);
            picture.height = bigEndian(data, 4);
        } else if (type == "IDAT") {
            packed += data;
        }
        ended = type == "IEND";
        at += 12 + length;
    }
    const size_t stride = size_t{picture.width} * 3;
    std::vector<uint8_t> raw((stride + 1) * picture.height);
    uLongf rawSize = raw.size();
    if (picture.width == 0 || picture.height == 0 ||
        uncompress(raw.data(), &rawSize, reinterpret_cast<const Bytef*>(packed.data()), packed.size()) !=
            Z_OK ||
        rawSize != raw.size())
        return std::nullopt;
    picture.rgb.resize(stride * picture.height);
    for (size_t y = 0; y < picture.height; ++y) {
        const uint8_t filter = raw[y * (stride + 1)];
        const uint8_t* in = &raw[y * (stride + 1) + 1];
        uint8_t* row = &picture.rgb[y * stride];
        const uint8_t* up = y > 0 ? row - stride : nullptr;
        for (size_t x = 0; x < stride; ++x) {
            const int a = x >= 3 ? row[x - 3] : 0, b = up ? up[x] : 0, c = up && x >= 3 ? up[x - 3] : 0;
            const int predicted = filter == 0   ? 0
                                  : filter == 1 ? a
                                  : filter == 2 ? b
                                  : filter == 3 ? (a + b) / 2
                                  : filter == 4 ? paeth(a, b, c)
                                                : -1;
            if (predicted < 0)
                return std::nullopt;
            row[x] = static_cast<uint8_t>(in[x] + predicted);
        }
    }
    return picture;
}

std::string pathOf(const std::string& url, const std::string& base)
{
    return url.starts_with(base) ? url.substr(base.size()) : url;
}

std::string header(const Fetched& fetched, const char* name)
{
    const auto found = fetched.headers.find(name);
    return found == fetched.headers.end() ? std::string() : found->second;
}

class Pictures : public ListingSim {};

TEST_F(Pictures, EveryListingReportsAPictureOfItsOwnAtTheSimulator)
{
    const std::string base = sim->baseUrl();
    const Answer page = parse(get(*sim, searchTarget(u8(texts::kCamera), "", 1)).body);
    ASSERT_GE(page.items.size(), 3u);
    std::vector<Picture> seen;
    for (size_t i = 0; i < 3; ++i) {
        const std::string& url = page.items[i].ImageUrl;
        ASSERT_TRUE(url.starts_with(base + "/img/")) << url;
        const Fetched fetched = get(*sim, pathOf(url, base));
        ASSERT_EQ(fetched.status, 200) << url;
        EXPECT_EQ(fetched.contentType, "image/png");
        EXPECT_EQ(header(fetched, "Content-Length"), std::to_string(fetched.body.size()));
        EXPECT_LT(fetched.body.size(), 16u * 1024);
        const auto picture = decodePng(fetched.body);
        ASSERT_TRUE(picture) << url;
        EXPECT_GE(picture->width, 48u);
        EXPECT_LE(picture->width, 300u);
        EXPECT_GE(picture->height, 48u);
        EXPECT_LE(picture->height, 300u);
        for (const Picture& other : seen)
            EXPECT_NE(other.rgb, picture->rgb) << "two listings with one picture";
        seen.push_back(*picture);
        // Addresses kept from earlier runs in .jpg get the same picture.
        std::string older = pathOf(url, base);
        older.replace(older.size() - 4, 4, ".jpg");
        EXPECT_EQ(get(*sim, older).body, fetched.body);
    }

    // A pinned listing without an address of its own gets one here; the picture stays after
    // the listing has ended, and a number the site never had has none.
    ASSERT_EQ(sim->control("/sim/put?ItemNo=8000000030&ItemName=x&CurrentPrice=1&RemainTime=" +
                           percentEncode(u8(texts::kFiveMinutes)) + "&AuctionType=NO&BidNum=0&ItemNum=1"),
              "ok\n");
    const auto pinned = reported(*sim, "8000000030");
    ASSERT_TRUE(pinned);
    ASSERT_TRUE(pinned->ImageUrl.starts_with(base + "/img/")) << pinned->ImageUrl;
    ASSERT_EQ(sim->control("/sim/end?ItemNo=8000000030"), "ok\n");
    EXPECT_TRUE(decodePng(get(*sim, pathOf(pinned->ImageUrl, base)).body));
    EXPECT_EQ(get(*sim, "/img/1.png").status, 404);
}

TEST_F(Pictures, AKeptPictureIsNotSentAgain)
{
    const Fetched first = get(*sim, "/img/3100000001.png");
    ASSERT_EQ(first.status, 200);
    const std::string tag = header(first, "ETag");
    const std::string date = header(first, "Last-Modified");
    ASSERT_FALSE(tag.empty());
    ASSERT_FALSE(date.empty());
    struct Case {
        httplib::Headers asked;
        int status;
    };
    for (const Case& c :
         {Case{{{"If-None-Match", tag}}, 304}, Case{{{"If-None-Match", "\"x\", " + tag}}, 304},
          Case{{{"If-Modified-Since", date}}, 304}, Case{{{"If-None-Match", "\"other\""}}, 200}}) {
        const Fetched again = get(*sim, "/img/3100000001.png", 5, c.asked);
        EXPECT_EQ(again.status, c.status) << c.asked.begin()->second;
        EXPECT_EQ(again.body, c.status == 200 ? first.body : "");
    }
}

TEST_F(Pictures, FaultsMakePicturesFailAsAsked)
{
    const std::string whole = get(*sim, "/img/3100000002.png").body;
    ASSERT_TRUE(decodePng(whole));
    struct Case {
        std::string fault;
        int status;
        std::string contentType;
        bool decodes;
        size_t minimumSize;
    };
    const Case cases[] = {
        {"large", 200, "image/png", true, 2u * 1024 * 1024 + 1},
        {"notimage", 200, "text/html; charset=utf-8", false, 1},
        {"corrupt", 200, "image/png", false, 1},
        {"missing", 404, "text/html; charset=utf-8", false, 1},
        {"slow&ms=400", 200, "image/png", true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        ASSERT_EQ(sim->control("/sim/picturefault?mode=" + c.fault + "&count=1"), "ok\n");
        const auto start = std::chrono::steady_clock::now();
        const Fetched fetched = get(*sim, "/img/3100000002.png", 20);
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(fetched.status, c.status);
        EXPECT_EQ(fetched.contentType, c.contentType);
        EXPECT_EQ(header(fetched, "Content-Length"), std::to_string(fetched.body.size()));
        EXPECT_GE(fetched.body.size(), c.minimumSize);
        EXPECT_EQ(decodePng(fetched.body).has_value(), c.decodes);
        if (c.fault.starts_with("slow")) {
            EXPECT_GE(took, std::chrono::milliseconds(350));
            EXPECT_EQ(fetched.body, whole);
        }
        // count=1: the next request is whole again.
        EXPECT_EQ(get(*sim, "/img/3100000002.png").body, whole);
    }

    // A listing's own fault leaves the other pictures alone and lasts until changed.
    ASSERT_EQ(sim->control("/sim/picturefault?mode=missing&ItemNo=3100000003"), "ok\n");
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(get(*sim, "/img/3100000003.png").status, 404);
        EXPECT_EQ(get(*sim, "/img/3100000002.png").body, whole);
    }
    ASSERT_EQ(sim->control("/sim/picturefault?mode=none&ItemNo=3100000003"), "ok\n");
    EXPECT_EQ(get(*sim, "/img/3100000003.png").status, 200);
    for (const std::string bad : {"mode=nonsense", "mode=slow&ms=-1", "mode=large&count=0"})
        EXPECT_FALSE(sim->control("/sim/picturefault?" + bad)) << bad;
}

TEST_F(Pictures, TheRequestLogListsPictureRequestsApartFromTheService)
{
    const std::vector<std::string> asked = {"/img/3100000004.png", "/img/3100000005.png",
                                            "/img/3100000004.png", "/img/3100000005.jpg"};
    for (const std::string& target : asked)
        ASSERT_EQ(get(*sim, target).status, 200);
    ASSERT_EQ(get(*sim, itemTarget("3100000004")).status, 200);
    EXPECT_EQ(sim->pictureRequests(), asked);
    EXPECT_EQ(sim->requests(), std::vector<std::string>{itemTarget("3100000004")});
    ASSERT_EQ(sim->control("/sim/reset"), "ok\n");
    EXPECT_TRUE(sim->pictureRequests().empty());
}

} // namespace
} // namespace pelimo::test
