#pragma once

#include "xmlclient/ItemInfo.h"

#include <vector>

namespace pelimo {

// How a page run ends for the tab control: pageEvent for PageDone, Paused, Failed and
// Complete, listStopped once the list may be destroyed.
enum class PagingReport { pageEvent, listStopped };

// What a paging session needs from its list: the rows, the progress shown, and the reports
// to the tab control. The result list implements it; tests record the calls.
class PagingView {
public:
    virtual ~PagingView() = default;

    // The rows of one page go in at the top in page order, all at once: row i of the page at
    // index i.
    virtual void addPage(const std::vector<ItemInfo>& rows) = 0;
    virtual void progressChanged() = 0;
    // The run waits for the service until progress().serviceResumesAt, then asks for its page
    // again; it is neither failed nor over. A view without a status line need not hear it.
    virtual void serviceWaiting() {}
    // Must not destroy the session from inside the call (the tab control is told by a
    // posted message).
    virtual void report(PagingReport report) = 0;
};

} // namespace pelimo
