#pragma once

#include "xmlclient/ItemInfo.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

namespace pelimo {

// One run of a saved search from page 1: the listings of its pages in page order, each item
// number once (a listing pushed to the next page while the run pages on comes back there; a
// listing without a number is none), and how
// the run ended. A run stops at a fixed number of pages, so one search of a common word cannot
// hold the whole watch cycle.
class SavedSearchRun {
public:
    static constexpr int32_t kMaxPages = 100;
    static constexpr size_t kMaxListings = 1000;

    // Takes the listings of the run's next page, in page order; morePages says whether the
    // service has pages after it. Returns whether the run goes on to the next page.
    bool addPage(std::vector<ItemInfo> page, bool morePages);
    // The next page could not be fetched: the run ends without having seen all it should.
    void fail();

    int32_t pages() const { return pageCount; }
    bool running() const { return state == State::running; }
    // Ended having seen every page it may: the last one, or the page limit.
    bool complete() const { return state == State::lastPage || state == State::cut; }
    // Ended at the page limit while the service had more.
    bool cutAtLimit() const { return state == State::cut; }
    const std::vector<ItemInfo>& listings() const { return found; }

private:
    enum class State { running, lastPage, cut, failed };

    std::vector<ItemInfo> found;
    std::unordered_set<std::string> numbers;
    int32_t pageCount = 0;
    State state = State::running;
};

} // namespace pelimo
