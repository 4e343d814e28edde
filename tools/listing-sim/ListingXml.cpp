#include "tools/listing-sim/ListingXml.h"

#include "platform/text/SjisText.h"

namespace pelimo::sim {

std::string xmlEscape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string itemInfoElement(const ListingFields& fields)
{
    std::string out = "<ItemInfo>";
    auto child = [&](const char* name, const std::string& value) {
        out += '<';
        out += name;
        out += '>';
        out += xmlEscape(value);
        out += "</";
        out += name;
        out += '>';
    };
    child("ItemNo", fields.itemNo);
    child("ItemName", fields.itemName);
    child("CurrentPrice", fields.currentPrice);
    child("ImageUrl", fields.imageUrl);
    child("AuctionType", fields.auctionType);
    child("ItemNum", fields.itemNum);
    child("BidNum", fields.bidNum);
    child("RemainTime", fields.remainTime);
    out += "</ItemInfo>\n";
    return out;
}

std::string listingAnswerHead(int64_t totalPages, int64_t currentPage, int64_t totalResults)
{
    // TotalResults is not one of the elements clients read; it shows them ignoring extras.
    return std::string(kXmlDeclaration) + "<ResultSet>\n<ListingInfo>\n<TotalResults>" +
           std::to_string(totalResults) + "</TotalResults>\n<TotalPage>" + std::to_string(totalPages) +
           "</TotalPage>\n<CurrentPage>" + std::to_string(currentPage) + "</CurrentPage>\n";
}

std::string listingAnswerTail()
{
    return "</ListingInfo>\n</ResultSet>\n";
}

std::string listingAnswer(int64_t totalPages, int64_t currentPage, int64_t totalResults,
                          const std::vector<ListingFields>& items)
{
    std::string body;
    for (const ListingFields& fields : items)
        body += itemInfoElement(fields);
    return listingAnswerHead(totalPages, currentPage, totalResults) + platform::utf8ToSjis(body) +
           listingAnswerTail();
}

std::string entityBombAnswer()
{
    std::string dtd = "<!DOCTYPE ResultSet [\n<!ENTITY lol0 \"lol\">\n";
    for (int level = 1; level <= 9; ++level) {
        dtd += "<!ENTITY lol" + std::to_string(level) + " \"";
        for (int i = 0; i < 10; ++i)
            dtd += "&lol" + std::to_string(level - 1) + ';';
        dtd += "\">\n";
    }
    dtd += "]>\n";
    return std::string(kXmlDeclaration) + dtd +
           "<ResultSet><ListingInfo><TotalPage>1</TotalPage><CurrentPage>1</CurrentPage>"
           "<ItemInfo><ItemNo>1</ItemNo><ItemName>&lol9;</ItemName><CurrentPrice>1</CurrentPrice>"
           "<ImageUrl></ImageUrl><AuctionType>NO</AuctionType><ItemNum>1</ItemNum>"
           "<BidNum>0</BidNum><RemainTime>&lol9;</RemainTime></ItemInfo></ListingInfo></ResultSet>\n";
}

std::string cutInsideElement(const std::string& answer)
{
    // Past the middle, the first start tag "<X...": keep "<X" and one more byte at most, so
    // the document ends inside an element's name.
    size_t at = answer.find("<I", answer.size() / 2);
    if (at == std::string::npos)
        at = answer.find('<', answer.size() / 2);
    if (at == std::string::npos)
        return answer.substr(0, answer.size() / 2);
    return answer.substr(0, at + 3);
}

} // namespace pelimo::sim
