#include "tests/sim/SimAnswers.h"

#include "SimTestTexts.h"
#include "platform/text/SjisText.h"

#include <algorithm>
#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <memory>

namespace pelimo::test {

std::string u8(const char* sjis)
{
    return platform::sjisToUtf8(sjis);
}

Fetched get(const SimulatorProcess& sim, const std::string& target, int readTimeoutSeconds,
            const httplib::Headers& requestHeaders)
{
    httplib::Client client("127.0.0.1", sim.port());
    client.set_connection_timeout(2);
    client.set_read_timeout(readTimeoutSeconds);
    client.set_url_encode(false); // targets go on the wire exactly as written
    Fetched fetched;
    if (const auto res = client.Get(target, requestHeaders)) {
        fetched.answered = true;
        fetched.status = res->status;
        fetched.contentType = res->get_header_value("Content-Type");
        fetched.body = res->body;
        fetched.headers = res->headers;
    }
    return fetched;
}

namespace {

std::string text(xmlNodePtr node)
{
    xmlChar* content = xmlNodeGetContent(node);
    std::string out = content ? reinterpret_cast<const char*>(content) : "";
    xmlFree(content);
    return out;
}

} // namespace

Answer parse(const std::string& body, int options)
{
    Answer answer;
    std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> doc(
        xmlReadMemory(body.data(), static_cast<int>(body.size()), "answer.xml", nullptr,
                      options | XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
        &xmlFreeDoc);
    if (!doc)
        return answer;
    answer.parsed = true;
    std::unique_ptr<xmlXPathContext, decltype(&xmlXPathFreeContext)> context(xmlXPathNewContext(doc.get()),
                                                                             &xmlXPathFreeContext);
    auto nodes = [&](const char* path) {
        return std::unique_ptr<xmlXPathObject, decltype(&xmlXPathFreeObject)>(
            xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(path), context.get()),
            &xmlXPathFreeObject);
    };
    if (auto total = nodes("//ListingInfo[1]/TotalPage");
        total && total->nodesetval && total->nodesetval->nodeNr)
        answer.totalPage = text(total->nodesetval->nodeTab[0]);
    if (auto current = nodes("//ListingInfo[1]/CurrentPage");
        current && current->nodesetval && current->nodesetval->nodeNr)
        answer.currentPage = text(current->nodesetval->nodeTab[0]);
    auto items = nodes("//ListingInfo/ItemInfo");
    for (int i = 0; items && items->nodesetval && i < items->nodesetval->nodeNr; ++i) {
        Item item;
        const std::pair<const char*, std::string*> fields[] = {{"ItemNo", &item.ItemNo},
                                                               {"ItemName", &item.ItemName},
                                                               {"CurrentPrice", &item.CurrentPrice},
                                                               {"ImageUrl", &item.ImageUrl},
                                                               {"AuctionType", &item.AuctionType},
                                                               {"ItemNum", &item.ItemNum},
                                                               {"BidNum", &item.BidNum},
                                                               {"RemainTime", &item.RemainTime}};
        for (xmlNodePtr child = items->nodesetval->nodeTab[i]->children; child; child = child->next)
            for (const auto& [name, field] : fields)
                if (child->type == XML_ELEMENT_NODE &&
                    xmlStrEqual(child->name, reinterpret_cast<const xmlChar*>(name)))
                    *field = text(child);
        answer.items.push_back(item);
    }
    return answer;
}

std::string searchTarget(const std::string& keyword, const std::string& types, int page,
                         const std::string& priceFilter)
{
    return "/bep/xml?at=" + types + "&tf=xml_lite3&keyword=" + percentEncode(keyword) +
           "&ipp=10&page=" + std::to_string(page) + priceFilter;
}

std::string itemTarget(const std::string& itemNo)
{
    return "/bep/xml?tf=xml_lite3&exhibit_id=" + itemNo;
}

std::vector<Item> allPages(const SimulatorProcess& sim, const std::string& keyword, const std::string& types,
                           const std::string& priceFilter)
{
    std::vector<Item> items;
    std::string totalPage;
    for (int page = 1; page < 1000; ++page) {
        const Answer answer = parse(get(sim, searchTarget(keyword, types, page, priceFilter)).body);
        EXPECT_TRUE(answer.parsed);
        if (page == 1)
            totalPage = answer.totalPage;
        EXPECT_EQ(answer.totalPage, totalPage) << "page " << page;
        items.insert(items.end(), answer.items.begin(), answer.items.end());
        if (!answer.parsed || std::to_string(page) == answer.totalPage)
            break;
    }
    EXPECT_EQ(totalPage, std::to_string(std::max<size_t>(1, (items.size() + 9) / 10)));
    return items;
}

std::optional<Item> reported(const SimulatorProcess& sim, const std::string& itemNo)
{
    const Answer answer = parse(get(sim, itemTarget(itemNo)).body);
    EXPECT_TRUE(answer.parsed);
    EXPECT_EQ(answer.totalPage, "1");
    EXPECT_LE(answer.items.size(), 1u);
    if (answer.items.empty())
        return std::nullopt;
    return answer.items[0];
}

EndedLine endedLine(const std::string& line)
{
    EndedLine out;
    const size_t first = line.find('\t');
    const size_t second = first == std::string::npos ? first : line.find('\t', first + 1);
    if (second == std::string::npos || line.empty() || line.back() != '\n')
        return out;
    out.itemNo = line.substr(0, first);
    out.price = std::atoll(line.c_str() + first + 1);
    out.bids = std::atoll(line.c_str() + second + 1);
    return out;
}

int64_t secondsLeft(const std::string& remain)
{
    const int64_t number = std::atoll(remain.c_str());
    const std::pair<std::string, int64_t> units[] = {{u8(texts::kSeconds), 1},
                                                     {u8(texts::kMinutes), 60},
                                                     {u8(texts::kHours), 3600},
                                                     {u8(texts::kDays), 86400}};
    for (const auto& [unit, factor] : units)
        if (remain.size() > unit.size() &&
            remain.compare(remain.size() - unit.size(), unit.size(), unit) == 0)
            return number * factor;
    return -1;
}

void ListingSim::SetUpTestSuite()
{
    sim = new SimulatorProcess({"--hits", u8(texts::kBench) + "=25"});
    ASSERT_TRUE(sim->start());
}

void ListingSim::TearDownTestSuite()
{
    delete sim;
    sim = nullptr;
}

void ListingSim::SetUp()
{
    ASSERT_NE(sim, nullptr);
    ASSERT_EQ(sim->control("/sim/reset"), "ok\n");
}

void ListingSim::pin(const std::string& itemNo, const std::string& title, const std::string& price,
                     const std::string& remain)
{
    ASSERT_EQ(
        sim->control("/sim/put?ItemNo=" + itemNo + "&ItemName=" + percentEncode(title) +
                     "&CurrentPrice=" + percentEncode(price) + "&RemainTime=" + percentEncode(remain) +
                     "&AuctionType=NO&BidNum=3&ItemNum=1&ImageUrl=" + percentEncode("http://img.test/a.jpg")),
        "ok\n");
}

} // namespace pelimo::test
