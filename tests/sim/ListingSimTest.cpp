// The listing simulator over real HTTP: what the product's suites rely on it to do.
#include "SimTestTexts.h"
#include "platform/text/SjisText.h"
#include "tests/sim/SimAnswers.h"

#include <arpa/inet.h>
#include <chrono>
#include <gtest/gtest.h>
#include <httplib.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <set>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace pelimo::test {
namespace {

using Clock = std::chrono::steady_clock;

TEST_F(ListingSim, PagesHoldTenListingsAndTheLastOneTheRest)
{
    struct Case {
        int page;
        size_t items;
    };
    std::set<std::string> seen;
    for (const Case c : {Case{1, 10}, Case{2, 10}, Case{3, 5}, Case{4, 0}, Case{9, 0}}) {
        SCOPED_TRACE(c.page);
        const Answer answer =
            parse(get(*sim, searchTarget(u8(texts::kBench), "NO,PA,FL,FP,GB", c.page)).body);
        ASSERT_TRUE(answer.parsed);
        EXPECT_EQ(answer.totalPage, "3");
        EXPECT_EQ(answer.currentPage, std::to_string(c.page));
        EXPECT_EQ(answer.items.size(), c.items);
        for (const Item& item : answer.items) {
            EXPECT_TRUE(seen.insert(item.ItemNo).second) << item.ItemNo;
            EXPECT_NE(item.ItemName.find(u8(texts::kBench)), std::string::npos);
        }
    }
    EXPECT_EQ(seen.size(), 25u);
}

TEST_F(ListingSim, EveryTermOfTheKeywordMustOccurInTheTitle)
{
    const auto cameras = allPages(*sim, u8(texts::kCamera), "");
    const auto goodCameras = allPages(*sim, u8(texts::kCamera) + ' ' + u8(texts::kGood), "");
    ASSERT_GT(cameras.size(), 20u);
    ASSERT_FALSE(goodCameras.empty());
    EXPECT_LT(goodCameras.size(), cameras.size());
    for (const Item& item : goodCameras) {
        EXPECT_NE(item.ItemName.find(u8(texts::kCamera)), std::string::npos) << item.ItemName;
        EXPECT_NE(item.ItemName.find(u8(texts::kGood)), std::string::npos) << item.ItemName;
    }
}

TEST_F(ListingSim, AuctionTypesFilterAndTogetherMakeTheWhole)
{
    const std::string camera = u8(texts::kCamera);
    const size_t everything = allPages(*sim, camera, "").size();
    EXPECT_EQ(allPages(*sim, camera, "NO,PA,FL,FP,GB").size(), everything);
    const Answer noTypeKey =
        parse(get(*sim, "/bep/xml?tf=xml_lite3&keyword=" + percentEncode(camera) + "&ipp=10&page=1").body);
    EXPECT_EQ(noTypeKey.totalPage, std::to_string((everything + 9) / 10));
    size_t sum = 0;
    for (const std::string code : {"NO", "PA", "FL", "FP", "GB"}) {
        const auto items = allPages(*sim, camera, code);
        EXPECT_FALSE(items.empty()) << code;
        for (const Item& item : items)
            EXPECT_EQ(item.AuctionType, code);
        sum += items.size();
    }
    EXPECT_EQ(sum, everything);
    for (const Item& item : allPages(*sim, camera, "FP,GB"))
        EXPECT_TRUE(item.AuctionType == "FP" || item.AuctionType == "GB") << item.AuctionType;
}

TEST_F(ListingSim, PriceBoundsAreInclusiveAndEitherMayBeLeftOut)
{
    struct Case {
        std::string filter;
        int64_t low, high;
    };
    for (const Case& c : {Case{"&clow=10000&chigh=30000", 10000, 30000}, Case{"&chigh=5000", 0, 5000},
                          Case{"&clow=70000", 70000, INT64_MAX}}) {
        SCOPED_TRACE(c.filter);
        const auto items = allPages(*sim, u8(texts::kCamera), "", c.filter);
        EXPECT_FALSE(items.empty());
        for (const Item& item : items) {
            const int64_t price = std::atoll(item.CurrentPrice.c_str());
            EXPECT_GE(price, c.low);
            EXPECT_LE(price, c.high);
        }
    }
    pin("8000000001", u8(texts::kPinnedTitle), "3000" + u8(texts::kPinnedPrice).substr(5),
        u8(texts::kFiveMinutes));
    const auto atBound = allPages(*sim, u8(texts::kPinnedTitle), "", "&clow=3000&chigh=3000");
    ASSERT_EQ(atBound.size(), 1u);
    EXPECT_EQ(atBound[0].ItemNo, "8000000001");
}

TEST_F(ListingSim, NoHitsAnswerOnePageOfOneWithoutItems)
{
    const Answer answer = parse(get(*sim, searchTarget(u8(texts::kNoSuchWord), "", 1)).body);
    ASSERT_TRUE(answer.parsed);
    EXPECT_EQ(answer.totalPage, "1");
    EXPECT_EQ(answer.currentPage, "1");
    EXPECT_TRUE(answer.items.empty());
}

TEST_F(ListingSim, LotNumberAndSingleListingFormsAnswerTheOneListing)
{
    const Answer page = parse(get(*sim, searchTarget(u8(texts::kCamera), "", 2)).body);
    ASSERT_FALSE(page.items.empty());
    const Item& wanted = page.items[3 % page.items.size()];
    for (const std::string format : {"xml_lite6", "xml_lite3"}) {
        SCOPED_TRACE(format);
        const Answer answer = parse(get(*sim, "/bep/xml?tf=" + format + "&exhibit_id=" + wanted.ItemNo).body);
        ASSERT_TRUE(answer.parsed);
        EXPECT_EQ(answer.totalPage, "1");
        EXPECT_EQ(answer.currentPage, "1");
        ASSERT_EQ(answer.items.size(), 1u);
        const Item& item = answer.items[0];
        EXPECT_EQ(item.ItemNo, wanted.ItemNo);
        EXPECT_EQ(item.ItemName, wanted.ItemName);
        EXPECT_EQ(item.AuctionType, wanted.AuctionType);
        EXPECT_EQ(item.ImageUrl, wanted.ImageUrl);
        EXPECT_NE(item.CurrentPrice.find(u8(texts::kPinnedPrice).substr(5)), std::string::npos)
            << item.CurrentPrice;
        EXPECT_GE(secondsLeft(item.RemainTime), 0) << item.RemainTime;
        EXPECT_FALSE(item.ItemNum.empty());
        EXPECT_FALSE(item.BidNum.empty());
    }
    const Answer unknown = parse(get(*sim, itemTarget("1")).body);
    ASSERT_TRUE(unknown.parsed);
    EXPECT_EQ(unknown.totalPage, "1");
    EXPECT_EQ(unknown.currentPage, "1");
    EXPECT_TRUE(unknown.items.empty());
}

TEST_F(ListingSim, AnswersAreShiftJisWithEscapedAmpersands)
{
    pin("8000000002", u8(texts::kPinnedTitle), u8(texts::kPinnedPrice), u8(texts::kFiveMinutes));
    const Fetched fetched = get(*sim, itemTarget("8000000002"));
    ASSERT_EQ(fetched.status, 200);
    EXPECT_NE(fetched.contentType.find("Shift_JIS"), std::string::npos);
    EXPECT_EQ(fetched.body.rfind("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>", 0), 0u);
    // The title's bytes on the wire are the CP932 ones, its ampersand escaped.
    std::string wireTitle = texts::kPinnedTitle;
    wireTitle.replace(wireTitle.find('&'), 1, "&amp;");
    EXPECT_NE(fetched.body.find(wireTitle), std::string::npos);

    const Answer answer = parse(fetched.body);
    ASSERT_EQ(answer.items.size(), 1u);
    EXPECT_EQ(answer.items[0].ItemName, u8(texts::kPinnedTitle));

    // Catalogue titles with an ampersand come back whole too.
    const auto bw = allPages(*sim, "B&W", "");
    ASSERT_FALSE(bw.empty());
    for (const Item& item : bw)
        EXPECT_NE(item.ItemName.find("B&W"), std::string::npos) << item.ItemName;
}

TEST_F(ListingSim, PinnedListingsKeepTheirFieldsUntilChangedOrRemoved)
{
    const std::string title = u8(texts::kPinnedTitle);
    pin("8000000003", title, u8(texts::kPinnedPrice), u8(texts::kFiveMinutes));
    Answer answer = parse(get(*sim, itemTarget("8000000003")).body);
    ASSERT_EQ(answer.items.size(), 1u);
    const Item& item = answer.items[0];
    EXPECT_EQ(item.ItemName, title);
    EXPECT_EQ(item.CurrentPrice, u8(texts::kPinnedPrice));
    EXPECT_EQ(item.RemainTime, u8(texts::kFiveMinutes));
    EXPECT_EQ(item.AuctionType, "NO");
    EXPECT_EQ(item.BidNum, "3");
    EXPECT_EQ(item.ItemNum, "1");
    EXPECT_EQ(item.ImageUrl, "http://img.test/a.jpg");

    const Answer found = parse(get(*sim, searchTarget(title, "NO", 1)).body);
    ASSERT_EQ(found.items.size(), 1u);
    EXPECT_EQ(found.items[0].ItemNo, "8000000003");

    pin("8000000003", title, u8(texts::kPinnedPrice), u8(texts::kZeroMinutes));
    answer = parse(get(*sim, itemTarget("8000000003")).body);
    ASSERT_EQ(answer.items.size(), 1u);
    EXPECT_EQ(answer.items[0].RemainTime, u8(texts::kZeroMinutes));

    ASSERT_EQ(sim->control("/sim/remove?ItemNo=8000000003"), "ok\n");
    EXPECT_TRUE(parse(get(*sim, itemTarget("8000000003")).body).items.empty());
    EXPECT_TRUE(parse(get(*sim, searchTarget(title, "", 1)).body).items.empty());

    pin("8000000003", title, u8(texts::kPinnedPrice), u8(texts::kFiveMinutes));
    ASSERT_EQ(sim->control("/sim/reset"), "ok\n");
    EXPECT_TRUE(parse(get(*sim, itemTarget("8000000003")).body).items.empty());
}

TEST_F(ListingSim, RemovedCatalogueListingsComeBackAfterReset)
{
    const Answer page = parse(get(*sim, searchTarget(u8(texts::kCamera), "", 1)).body);
    ASSERT_FALSE(page.items.empty());
    const std::string itemNo = page.items[0].ItemNo;
    ASSERT_EQ(sim->control("/sim/remove?ItemNo=" + itemNo), "ok\n");
    EXPECT_TRUE(parse(get(*sim, itemTarget(itemNo)).body).items.empty());
    const Answer without = parse(get(*sim, searchTarget(u8(texts::kCamera), "", 1)).body);
    ASSERT_FALSE(without.items.empty());
    EXPECT_NE(without.items[0].ItemNo, itemNo);
    ASSERT_EQ(sim->control("/sim/reset"), "ok\n");
    EXPECT_EQ(parse(get(*sim, itemTarget(itemNo)).body).items.size(), 1u);
}

TEST_F(ListingSim, RequestLogKeepsTargetsAsSentAndDecoded)
{
    const std::string camera = u8(texts::kCamera);
    const std::string first = searchTarget(camera, "NO,PA,FL,FP,GB", 1, "&clow=1000&chigh=3000");
    const std::string second = "/bep/xml?tf=xml_lite6&exhibit_id=%33100000001";
    // A client may encode the keyword as Shift-JIS; it is read as such.
    const std::string third =
        "/bep/xml?at=&tf=xml_lite3&keyword=" + percentEncode(texts::kCamera) + "&ipp=10&page=2";
    for (const std::string& target : {first, second, third})
        ASSERT_EQ(get(*sim, target).status, 200);
    get(*sim, "/aff/t/m/WS/pitem_GK3100000001"); // item pages are not logged

    EXPECT_EQ(sim->requests(), (std::vector<std::string>{first, second, third}));
    EXPECT_EQ(sim->control("/sim/requests/count"), "3\n");
    EXPECT_EQ(sim->decodedRequests(),
              (std::vector<std::string>{"/bep/xml?at=NO,PA,FL,FP,GB&tf=xml_lite3&keyword=" + camera +
                                            "&ipp=10&page=1&clow=1000&chigh=3000",
                                        "/bep/xml?tf=xml_lite6&exhibit_id=3100000001",
                                        "/bep/xml?at=&tf=xml_lite3&keyword=" + camera + "&ipp=10&page=2"}));

    const Answer utf8Page = parse(get(*sim, searchTarget(camera, "", 2)).body);
    const Answer sjisPage = parse(get(*sim, third).body);
    ASSERT_FALSE(sjisPage.items.empty());
    EXPECT_EQ(sjisPage.items[0].ItemNo, utf8Page.items[0].ItemNo);

    ASSERT_EQ(sim->control("/sim/reset"), "ok\n");
    EXPECT_TRUE(sim->requests().empty());
    EXPECT_EQ(sim->control("/sim/requests/count"), "0\n");
}

TEST_F(ListingSim, ItemPagesShowTheListingOrNotFound)
{
    pin("8000000004", u8(texts::kPinnedTitle), u8(texts::kPinnedPrice), u8(texts::kFiveMinutes));
    const Fetched page = get(*sim, "/aff/Rv3QmT8kLzW_pYc2NhdFaXj--/5830264/WS/pitem_GK8000000004");
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.contentType.find("text/html"), std::string::npos);
    EXPECT_NE(page.body.find("<meta charset=\"utf-8\">"), std::string::npos);
    std::string htmlTitle = u8(texts::kPinnedTitle);
    htmlTitle.replace(htmlTitle.find('&'), 1, "&amp;");
    EXPECT_NE(page.body.find(htmlTitle), std::string::npos);
    EXPECT_NE(page.body.find(u8(texts::kPinnedPrice)), std::string::npos);
    EXPECT_NE(page.body.find(u8(texts::kFiveMinutes)), std::string::npos);

    const Fetched missing = get(*sim, "/aff/Rv3QmT8kLzW_pYc2NhdFaXj--/5830264/WS/pitem_GK1");
    EXPECT_EQ(missing.status, 404);
    EXPECT_NE(missing.body.find("<html"), std::string::npos);
}

TEST_F(ListingSim, RemainingTimeRunsDownAndTheListingEndsWithIt)
{
    // An auction with days left, found on the first pages of a common word.
    Item auction;
    for (int page = 1; page <= 5 && auction.ItemNo.empty(); ++page)
        for (const Item& item : parse(get(*sim, searchTarget(u8(texts::kCamera), "NO", page)).body).items)
            if (secondsLeft(item.RemainTime) >= 86400) {
                auction = item;
                break;
            }
    ASSERT_FALSE(auction.ItemNo.empty());
    auto read = [&] {
        const Answer answer = parse(get(*sim, itemTarget(auction.ItemNo)).body);
        EXPECT_EQ(answer.items.size(), 1u);
        return answer.items.empty() ? Item{} : answer.items[0];
    };

    ASSERT_EQ(sim->control("/sim/advance?seconds=3600"), "ok\n");
    const Item later = read();
    EXPECT_GT(std::atoll(later.CurrentPrice.c_str()), std::atoll(auction.CurrentPrice.c_str()));
    EXPECT_GT(std::atoll(later.BidNum.c_str()), std::atoll(auction.BidNum.c_str()));
    EXPECT_LE(secondsLeft(later.RemainTime), secondsLeft(auction.RemainTime));

    // Down to seconds by the largest units first, then two reads on the real clock.
    for (const auto& [unit, step] : {std::pair{u8(texts::kDays), 86400}, std::pair{u8(texts::kHours), 3600},
                                     std::pair{u8(texts::kMinutes), 60}})
        for (int guard = 0; guard < 100; ++guard) {
            const Item now = read();
            const bool inUnit = now.RemainTime.find(unit) != std::string::npos;
            if (!inUnit || (step == 60 && std::atoll(now.RemainTime.c_str()) < 2))
                break;
            ASSERT_EQ(sim->control("/sim/advance?seconds=" + std::to_string(step)), "ok\n");
        }
    ASSERT_EQ(sim->control("/sim/advance?seconds=55"), "ok\n");
    if (read().RemainTime.find(u8(texts::kMinutes)) != std::string::npos) {
        ASSERT_EQ(sim->control("/sim/advance?seconds=10"), "ok\n");
    }
    const Item before = read();
    ASSERT_NE(before.RemainTime.find(u8(texts::kSeconds)), std::string::npos) << before.RemainTime;
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    const Item after = read();
    EXPECT_LT(secondsLeft(after.RemainTime), secondsLeft(before.RemainTime)) << after.RemainTime;

    // Once its time has run out it is reported nowhere; its final price stays where it ended.
    ASSERT_EQ(sim->control("/sim/advance?seconds=120"), "ok\n");
    EXPECT_FALSE(reported(*sim, auction.ItemNo));
    for (const Item& item : allPages(*sim, auction.ItemName, ""))
        EXPECT_NE(item.ItemNo, auction.ItemNo);
    const auto ended = sim->control("/sim/ended?ItemNo=" + auction.ItemNo);
    ASSERT_TRUE(ended);
    const auto [no, price, bids] = endedLine(*ended);
    EXPECT_EQ(no, auction.ItemNo);
    EXPECT_GE(price, std::atoll(before.CurrentPrice.c_str()));
    EXPECT_GE(bids, std::atoll(before.BidNum.c_str()));
    ASSERT_EQ(sim->control("/sim/advance?seconds=86400"), "ok\n");
    EXPECT_EQ(sim->control("/sim/ended?ItemNo=" + auction.ItemNo), ended);
}

TEST_F(ListingSim, SameSeedSameCatalogueOtherSeedOtherTitles)
{
    SimulatorProcess same;
    SimulatorProcess other({"--seed", "7"});
    ASSERT_TRUE(same.start());
    ASSERT_TRUE(other.start());
    auto titles = [](const SimulatorProcess& s) {
        std::vector<std::string> out;
        for (const Item& item : parse(get(s, "/bep/xml?at=&tf=xml_lite3&keyword=&ipp=10&page=1").body).items)
            out.push_back(item.ItemNo + ' ' + item.ItemName);
        return out;
    };
    EXPECT_EQ(titles(same), titles(*sim));
    EXPECT_NE(titles(other), titles(*sim));
    EXPECT_EQ(titles(*sim).size(), 10u);
}

TEST_F(ListingSim, BadOptionsKeepTheSimulatorFromStarting)
{
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--fault", "nonsense"}, {"--hits", "noCount"}, {"--delay-ms", "-5"}, {"--bogus", "1"}}) {
        SimulatorProcess bad(args);
        EXPECT_FALSE(bad.start()) << args[0];
        EXPECT_FALSE(bad.control("/sim/reset").has_value());
    }
}

// ---- faults ----

TEST_F(ListingSim, HtmlAndMalformedFaultsAndTheirCount)
{
    pin("8000000005", u8(texts::kPinnedTitle), u8(texts::kPinnedPrice), u8(texts::kFiveMinutes));
    const std::string whole = get(*sim, itemTarget("8000000005")).body;

    ASSERT_EQ(sim->control("/sim/fault?mode=html&count=2"), "ok\n");
    for (int i = 0; i < 2; ++i) {
        const Fetched error = get(*sim, itemTarget("8000000005"));
        EXPECT_EQ(error.status, 500);
        EXPECT_NE(error.contentType.find("text/html"), std::string::npos);
        EXPECT_FALSE(parse(error.body).parsed && !parse(error.body).items.empty());
    }
    EXPECT_EQ(get(*sim, itemTarget("8000000005")).body, whole);

    ASSERT_EQ(sim->control("/sim/fault?mode=malformed"), "ok\n");
    for (int i = 0; i < 2; ++i) {
        const Fetched cut = get(*sim, itemTarget("8000000005"));
        EXPECT_EQ(cut.status, 200);
        EXPECT_LT(cut.body.size(), whole.size());
        EXPECT_EQ(whole.rfind(cut.body, 0), 0u) << "not a prefix of the whole answer";
        EXPECT_FALSE(parse(cut.body).parsed);
    }
    EXPECT_FALSE(sim->control("/sim/fault?mode=nonsense").has_value());
}

TEST_F(ListingSim, DropClosesTheConnectionInTheMiddleOfTheBody)
{
    ASSERT_EQ(sim->control("/sim/fault?mode=drop&count=1"), "ok\n");
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(sim->port()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::string request =
        "GET " + searchTarget(u8(texts::kCamera), "", 1) + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    ASSERT_EQ(send(fd, request.data(), request.size(), MSG_NOSIGNAL), static_cast<ssize_t>(request.size()));

    std::string received;
    bool closed = false;
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < deadline) {
        pollfd watch{fd, POLLIN, 0};
        if (poll(&watch, 1, 100) <= 0)
            continue;
        char buffer[4096];
        const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0) {
            closed = true;
            break;
        }
        received.append(buffer, static_cast<size_t>(got));
    }
    close(fd);
    ASSERT_TRUE(closed) << "the connection stayed open";
    const size_t headerEnd = received.find("\r\n\r\n");
    ASSERT_NE(headerEnd, std::string::npos);
    EXPECT_EQ(received.rfind("HTTP/1.1 200", 0), 0u);
    const size_t lengthAt = received.find("Content-Length: ");
    ASSERT_LT(lengthAt, headerEnd);
    const size_t promised = std::stoul(received.substr(lengthAt + 16));
    const size_t body = received.size() - headerEnd - 4;
    EXPECT_GT(body, 0u);
    EXPECT_LT(body, promised);
}

TEST_F(ListingSim, HangAnswersNothingAndLetsTheSimulatorStop)
{
    ASSERT_EQ(sim->control("/sim/fault?mode=hang&count=1"), "ok\n");
    const auto start = Clock::now();
    EXPECT_FALSE(get(*sim, itemTarget("3100000001"), 1).answered);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(900));
    EXPECT_EQ(get(*sim, itemTarget("3100000001")).status, 200);

    // A simulator stopped while it holds an answer exits without being killed.
    SimulatorProcess held({"--fault", "hang"});
    ASSERT_TRUE(held.start());
    Fetched late;
    std::thread client([&] { late = get(held, itemTarget("3100000001"), 20); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto stopping = Clock::now();
    held.stop();
    client.join();
    EXPECT_LT(Clock::now() - stopping, std::chrono::seconds(4));
    EXPECT_FALSE(late.answered && late.status == 200);
}

TEST_F(ListingSim, HugeAnswerIsWellFormedAndOverSixteenMebibytes)
{
    ASSERT_EQ(sim->control("/sim/fault?mode=huge&count=1"), "ok\n");
    httplib::Client client("127.0.0.1", sim->port());
    client.set_read_timeout(20);
    std::string body;
    const auto res = client.Get(itemTarget("3100000001"), [&](const char* data, size_t length) {
        body.append(data, length);
        return true;
    });
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_GT(body.size(), 16u * 1024 * 1024);
    const Answer answer = parse(body, XML_PARSE_HUGE);
    EXPECT_TRUE(answer.parsed);
    EXPECT_GT(answer.items.size(), 1000u);
}

TEST_F(ListingSim, BombIsAWellFormedEntityExpansion)
{
    ASSERT_EQ(sim->control("/sim/fault?mode=bomb&count=1"), "ok\n");
    const Fetched bomb = get(*sim, itemTarget("3100000001"));
    EXPECT_EQ(bomb.status, 200);
    EXPECT_NE(bomb.body.find("<!DOCTYPE"), std::string::npos);
    EXPECT_NE(bomb.body.find("<!ENTITY lol9"), std::string::npos);
    EXPECT_NE(bomb.body.find("<ItemName>&lol9;</ItemName>"), std::string::npos);
    // The parser's own amplification guard refuses it (with the guard off it would take
    // minutes even without substituting the entities).
    EXPECT_FALSE(parse(bomb.body).parsed);
}

TEST_F(ListingSim, SlowAndDelayedAnswersArriveWholeButLate)
{
    pin("8000000006", u8(texts::kPinnedTitle), u8(texts::kPinnedPrice), u8(texts::kFiveMinutes));
    const std::string whole = get(*sim, itemTarget("8000000006")).body;

    ASSERT_EQ(sim->control("/sim/fault?mode=slow&ms=1&count=1"), "ok\n");
    auto start = Clock::now();
    EXPECT_EQ(get(*sim, itemTarget("8000000006")).body, whole);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(whole.size() * 9 / 10));

    ASSERT_EQ(sim->control("/sim/delay?ms=300"), "ok\n");
    start = Clock::now();
    EXPECT_EQ(get(*sim, itemTarget("8000000006")).body, whole);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(300));
}

TEST_F(ListingSim, HitsAddedAtRunTimeAreFoundExactly)
{
    ASSERT_EQ(sim->control("/sim/hits?word=ZQX&count=31"), "ok\n");
    const Answer last = parse(get(*sim, searchTarget("ZQX", "", 4)).body);
    EXPECT_EQ(last.totalPage, "4");
    EXPECT_EQ(last.items.size(), 1u);
    EXPECT_FALSE(sim->control("/sim/hits?word=ZQX").has_value());
}

} // namespace
} // namespace pelimo::test
