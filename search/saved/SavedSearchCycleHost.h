#pragma once

#include "search/saved/SavedSearch.h"
#include "search/saved/SavedSearchFile.h"
#include "xmlclient/ItemInfo.h"
#include "xmlclient/SearchRequest.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pelimo {

// A saved search's tab as the cycle names it: given by the host, never reused; 0 names none.
using SavedTabId = uint64_t;

enum class SavedTabState { gone, closing, open };

// What the saved-search cycle needs from the windows around it: the search tabs its runs go
// through, the file, and the status line; its alarms go to the notifier instead. The program's
// saved searches implement it over the result lists; tests record the calls.
class SavedSearchCycleHost {
public:
    virtual ~SavedSearchCycleHost() = default;

    // Opens a tab for the search and runs it from page 1 as a search from the command bar runs,
    // its pages shown and handed to the cycle; 0 when no tab could be opened.
    virtual SavedTabId openRun(const SearchRequest& request) = 0;
    // Runs the tab's search again from page 1, its pages handed to the cycle instead of shown;
    // false when the tab cannot run now (a run of its own goes on, or it closes).
    virtual bool rerun(SavedTabId tab) = 0;
    virtual SavedTabState tabState(SavedTabId tab) const = 0;
    // No further pages of the tab's run go to the cycle.
    virtual void stopRun(SavedTabId tab) = 0;
    // Hands the end of the tab's run back to the cycle's runEnded from the event loop: it is
    // told from inside the list's run, which must not be torn down under it.
    virtual void postRunEnd(SavedTabId tab) = 0;

    // A run's new listings: marked among the rows the run showed, or added at the top.
    virtual void showNewListings(SavedTabId tab, const std::vector<ItemInfo>& listings,
                                 bool amongShownRows) = 0;
    virtual void clearNewMarks(SavedTabId tab) = 0;
    // The tab's caption marks it saved, with the new listings it counts, and its tip follows
    // what the search has found.
    virtual void showSavedTab(SavedTabId tab, const SavedSearch& search, int newCount) = 0;
    // The tab is an ordinary search again: no mark, no new listings, no page limit of a run.
    virtual void showUnsavedTab(SavedTabId tab) = 0;

    // SearchList.xml, read once at start-up and written whole.
    virtual SavedSearchFileLoad loadFile(SeenSet::Time now) = 0;
    virtual bool saveFile(const std::vector<SavedSearch>& searches) = 0;
    virtual void showStatus(const std::string& sjis) = 0;
};

} // namespace pelimo
