#pragma once

// What the simulator suites share: fetching from the simulator, reading its answers as the
// product does, and the fixture with one simulator for the suite.
#include "tests/support/SimulatorProcess.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <httplib.h>
#include <optional>
#include <string>
#include <vector>

namespace pelimo::test {

std::string u8(const char* sjis);

struct Fetched {
    bool answered = false;
    int status = 0;
    std::string contentType;
    std::string body;
    httplib::Headers headers;
};

Fetched get(const SimulatorProcess& sim, const std::string& target, int readTimeoutSeconds = 5,
            const httplib::Headers& requestHeaders = {});

struct Item {
    std::string ItemNo, ItemName, CurrentPrice, ImageUrl, AuctionType, ItemNum, BidNum, RemainTime;
};

struct Answer {
    bool parsed = false;
    std::string totalPage, currentPage;
    std::vector<Item> items;
};

// Reads an answer the way the product does: the first ListingInfo's page numbers and the
// eight children of each of its ItemInfo elements (texts as UTF-8).
Answer parse(const std::string& body, int options = 0);

std::string searchTarget(const std::string& keyword, const std::string& types, int page,
                         const std::string& priceFilter = "");
std::string itemTarget(const std::string& itemNo);

// Every listing a search finds, all pages fetched; each page's TotalPage must agree with the
// number of listings found, so a count that moved between pages fails the test.
std::vector<Item> allPages(const SimulatorProcess& sim, const std::string& keyword, const std::string& types,
                           const std::string& priceFilter = "");

// The one listing the single-listing query reports, or nothing.
std::optional<Item> reported(const SimulatorProcess& sim, const std::string& itemNo);

// A line of /sim/ended: item number, final price, bids.
struct EndedLine {
    std::string itemNo;
    int64_t price = -1;
    int64_t bids = -1;
};
EndedLine endedLine(const std::string& line);

// The remaining time of a text, in seconds; -1 for a unit the simulator never uses.
int64_t secondsLeft(const std::string& remain);

class ListingSim : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;

    void pin(const std::string& itemNo, const std::string& title, const std::string& price,
             const std::string& remain);

    inline static SimulatorProcess* sim = nullptr;
};

} // namespace pelimo::test
