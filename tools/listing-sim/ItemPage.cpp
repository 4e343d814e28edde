#include "tools/listing-sim/ItemPage.h"

#include "tools/listing-sim/ListingXml.h"

namespace pelimo::sim {
namespace {

std::string page(std::string_view title, const std::string& body)
{
    return "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
           xmlEscape(title) + "</title>\n</head>\n<body>\n" + body + "</body>\n</html>\n";
}

std::string row(std::string_view label, std::string_view value)
{
    return "<tr><th>" + xmlEscape(label) + "</th><td>" + xmlEscape(value) + "</td></tr>\n";
}

} // namespace

std::string itemPageHtml(const ListingFields& fields, const Vocabulary& words)
{
    const std::string body = "<h1 id=\"title\">" + xmlEscape(fields.itemName) + "</h1>\n<table>\n" +
                             row(words.pagePrice, fields.currentPrice) +
                             row(words.pageType, words.typeLabel(fields.auctionType)) +
                             row(words.pageRemain, fields.remainTime) + row(words.pageBids, fields.bidNum) +
                             row(words.pageUnits, fields.itemNum) + "</table>\n<p id=\"item\">" +
                             xmlEscape(fields.itemNo) + "</p>\n";
    return page(fields.itemName, body);
}

std::string itemNotFoundHtml(std::string_view itemNo, const Vocabulary& words)
{
    return page(words.pageNotFound, "<h1>" + xmlEscape(words.pageNotFound) + "</h1>\n<p id=\"item\">" +
                                        xmlEscape(itemNo) + "</p>\n");
}

std::string serverErrorHtml(const Vocabulary& words)
{
    return page("500 Internal Server Error",
                "<h1>500 Internal Server Error</h1>\n<p>" + xmlEscape(words.serverError) + "</p>\n");
}

} // namespace pelimo::sim
