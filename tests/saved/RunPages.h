#pragma once

#include "SavedSearchTestTexts.h"
#include "search/saved/NewListingRules.h"

#include <string>
#include <vector>

namespace pelimo::saved_search_test {

using Pages = std::vector<std::vector<std::string>>;

inline ItemInfo listing(const std::string& no)
{
    using namespace saved_search_test_text;
    return ItemInfo{no, kNameLens, kPriceYen1000, "NO", "", "0", "1", kRemain3Day};
}

struct RunResult {
    std::vector<std::string> newNumbers;
    bool silent = false;
};

// Runs the search over pages of listings named by their numbers, as a watch cycle pages
// through them; a run that fails stops after the pages it got.
inline RunResult runPages(SavedSearch& search, const Pages& pages, SeenSet::Time now, bool fails = false)
{
    SavedSearchRun run;
    for (size_t i = 0; i < pages.size(); ++i) {
        std::vector<ItemInfo> page;
        for (const std::string& no : pages[i])
            page.push_back(listing(no));
        run.addPage(page, fails || i + 1 < pages.size());
    }
    if (fails)
        run.fail();
    const NewListingReport report = applyRun(search, run, now);
    RunResult result{{}, report.silentFirstRun};
    for (const ItemInfo& l : report.newListings)
        result.newNumbers.push_back(l.ItemNo);
    return result;
}

} // namespace pelimo::saved_search_test
