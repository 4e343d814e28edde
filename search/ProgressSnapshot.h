#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

namespace pelimo {

// Where one result list stands in its paging. The numbers are stored and compared.
enum class ListState : int32_t {
    Idle = 0,     // created, no page requested yet
    Loading = 1,  // a page run waits for the listing service
    Filling = 2,  // the page arrived; rows are being added
    PageDone = 3, // a page was added and more remain; waiting for its turn
    Paused = 4,   // the user paused the list
    Stopping = 5, // a stop was requested while a page run was in progress
    Stopped = 6,  // the run ended because of the stop; the list is about to go
    Failed = 7,   // the last page request failed
    Complete = 8, // the last page has been added, or nothing was found
};

// Why a page could not be had.
enum class PageFailure : int32_t {
    none = 0,
    unreachable = 1, // no connection to the listing service
    timedOut = 2,    // it kept silent too long
    unreadable = 3,  // it answered something that is not a listing page
};

// The live progress of a list; the tab control reads it when it handles a notification.
struct ProgressSnapshot {
    ListState state = ListState::Idle;
    int32_t totalPages = 0;
    int32_t currentPage = 0;
    // Listings of the pages so far that the search's exclude words left out.
    int32_t excluded = 0;
    // While Loading: the service asked us to wait, and the page is asked for again then.
    std::optional<std::chrono::system_clock::time_point> serviceResumesAt;
    // While Failed: why the page failed.
    PageFailure failure = PageFailure::none;
};

} // namespace pelimo
