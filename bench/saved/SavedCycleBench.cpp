// One watch cycle's re-run of the largest set of saved searches that page through 20 pages
// each, against the listing simulator: every search from page 1 through its last page, the
// searches taking turns as the search tabs do, each run told new from seen; side by side with
// the curl command-line tool fetching the same 400 addresses in one invocation. Plain: no Qt.
#include "bench/support/CurlRun.h"
#include "bench/support/Measure.h"
#include "platform/EventLoop.h"
#include "platform/EventPump.h"
#include "search/ListingPageSource.h"
#include "search/PagingSession.h"
#include "search/TurnRotation.h"
#include "search/saved/NewListingRules.h"
#include "search/saved/SavedSearchList.h"
#include "tests/support/SimulatorProcess.h"
#include "xmlclient/ListingQueries.h"

#include <chrono>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using namespace pelimo;
using Clock = std::chrono::steady_clock;

constexpr size_t kSearches = SavedSearchList::kMaxSearches;
constexpr int kPagesPerSearch = 20;
constexpr int kListingsPerPage = 10; // the service's page
constexpr int kRounds = 15;

// The tab control's side without widgets: turns and reports are posted, and run from the
// event loop's pending events as the program's posted messages are.
class Tabs final : public TurnRotationHost {
public:
    Tabs() : rotation(*this) {}

    void post(std::function<void()> message) { posted.push_back(std::move(message)); }
    void runPosted()
    {
        while (!posted.empty()) {
            const std::function<void()> next = std::move(posted.front());
            posted.pop_front();
            next();
        }
    }

    void giveTurn(PagingSession& session) override
    {
        post([this, &session] { rotation.deliverTurn(session); });
    }
    void searchTabsClosed() override {}

    TurnRotation rotation;

private:
    std::deque<std::function<void()>> posted;
};

// One saved search's tab without its list: the rows of the page going in, and the run they
// make, told new from seen once it has ended.
class SavedTab final : public PagingView {
public:
    SavedTab(Tabs& tabs, SavedSearch& search, const Endpoints& endpoints)
        : tabs(tabs), search(search), source(endpoints), session(source, *this)
    {
        tabs.rotation.add(session);
    }

    void start() { session.startPaging(search.request); }
    bool applied() const { return told.has_value(); }
    const SavedSearchRun& result() const { return run; }
    const NewListingReport& outcome() const { return *told; }

    void addPage(const std::vector<ItemInfo>& rows) override
    {
        page.insert(page.begin(), rows.begin(), rows.end());
    }
    void progressChanged() override {}
    void report(PagingReport what) override
    {
        tabs.post([this, what] { handle(what); });
    }

private:
    void handle(PagingReport what)
    {
        if (what == PagingReport::listStopped) {
            tabs.rotation.remove(session);
            return;
        }
        const ListState state = session.progress().state;
        bool cut = false;
        if (state == ListState::PageDone || state == ListState::Complete)
            cut = !run.addPage(std::exchange(page, {}), state == ListState::PageDone) && run.cutAtLimit();
        else if (state == ListState::Failed)
            run.fail();
        if (!run.running() && !told)
            told = applyRun(search, run,
                            std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()));
        tabs.rotation.pageEvent(session);
        if (cut) {
            tabs.rotation.markClosing(session);
            session.stopList();
        }
    }

    Tabs& tabs;
    SavedSearch& search;
    ListingPageSource source;
    PagingSession session;
    std::vector<ItemInfo> page;
    SavedSearchRun run;
    std::optional<NewListingReport> told;
};

struct CycleResult {
    double seconds = 0;
    double processorSeconds = 0;
    bool ok = true; // every run went through all its pages
    size_t pages = 0;
    size_t listings = 0;
    size_t fresh = 0;
    std::vector<std::string> lastNumbers; // of each search's run
};

// Re-runs every saved search once, as a watch cycle does, and waits for all of them.
CycleResult runCycle(std::vector<SavedSearch>& searches, const Endpoints& endpoints)
{
    CycleResult result;
    Tabs tabs;
    platform::setPendingEventHandler([&tabs] { tabs.runPosted(); });
    const double processorStart = bench::processorSeconds();
    const auto start = Clock::now();
    std::vector<std::unique_ptr<SavedTab>> open;
    for (SavedSearch& search : searches)
        open.push_back(std::make_unique<SavedTab>(tabs, search, endpoints));
    for (const auto& tab : open)
        tab->start();
    const auto allApplied = [&open] {
        for (const auto& tab : open) {
            if (!tab->applied())
                return false;
        }
        return true;
    };
    while (!allApplied())
        platform::eventLoop().waitForEvents();
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    result.processorSeconds = bench::processorSeconds() - processorStart;
    platform::setPendingEventHandler(nullptr);
    for (const auto& tab : open) {
        const SavedSearchRun& run = tab->result();
        result.ok = result.ok && run.complete() && !run.cutAtLimit();
        result.pages += static_cast<size_t>(run.pages());
        result.listings += run.listings().size();
        result.fresh += tab->outcome().newListings.size();
        result.lastNumbers.push_back(run.listings().empty() ? std::string() : run.listings().back().ItemNo);
    }
    return result;
}

} // namespace

int main()
{
    const size_t hits = kPagesPerSearch * kListingsPerPage;
    std::vector<std::string> words;
    std::vector<std::string> simArgs;
    for (size_t s = 0; s < kSearches; ++s) {
        words.push_back("savedcycle" + std::to_string(10 + s));
        simArgs.insert(simArgs.end(), {"--hits", words.back() + "=" + std::to_string(hits)});
    }
    test::SimulatorProcess sim(simArgs);
    if (!sim.start()) {
        std::fprintf(stderr, "the listing simulator did not start\n");
        return 1;
    }
    Endpoints endpoints;
    endpoints.listingBase = sim.baseUrl();

    std::vector<SavedSearch> searches(kSearches);
    std::vector<std::string> addresses;
    for (size_t s = 0; s < kSearches; ++s) {
        searches[s].request.text = words[s];
        for (int page = 1; page <= kPagesPerSearch; ++page) {
            SearchRequest request = searches[s].request;
            request.page = page;
            addresses.push_back(*searchAddress(endpoints.listingBase, request));
        }
    }
    const std::string configPath = (std::filesystem::temp_directory_path() /
                                    ("bench-saved-cycle-" + std::to_string(::getpid()) + ".cfg"))
                                       .string();
    if (!bench::writeCurlConfig(configPath, addresses)) {
        std::fprintf(stderr, "could not write the curl config\n");
        return 1;
    }

    const std::string loadBefore = bench::loadAverages();
    // The searches' first run only records what exists; it also opens the connections.
    CycleResult previous = runCycle(searches, endpoints);
    if (!previous.ok || previous.fresh != 0) {
        std::fprintf(stderr, "the first run did not go through every page silently\n");
        return 1;
    }

    std::vector<double> ours, oursProcessor, curlWall, curlTransfers;
    bool ok = true;
    for (int round = 0; round < kRounds; ++round) {
        // Between two cycles one listing of each search ends and a new one appears on its first
        // page, so every run has one new listing and still twenty pages.
        for (size_t s = 0; s < kSearches; ++s) {
            sim.control("/sim/remove?ItemNo=" + test::percentEncode(previous.lastNumbers[s]));
            const std::string no = "n" + std::to_string(s) + "r" + std::to_string(round);
            sim.control(
                "/sim/put?ItemNo=" + no + "&ItemName=" + test::percentEncode(words[s] + " new " + no) +
                "&CurrentPrice=1200&RemainTime=3%E6%97%A5&AuctionType=NO&BidNum=0&ItemNum=1&ImageUrl=");
        }
        const size_t requestsBefore = sim.requests().size();
        CycleResult cycle = runCycle(searches, endpoints);
        const size_t requested = sim.requests().size() - requestsBefore;
        const bench::CurlRun curl = bench::runCurl(configPath);
        std::printf("round %d: cycle %.1f ms (processor %.1f ms), curl %.1f ms (its transfers %.1f ms)\n",
                    round + 1, cycle.seconds * 1000, cycle.processorSeconds * 1000, curl.wallSeconds * 1000,
                    curl.transferSeconds * 1000);
        if (!cycle.ok || cycle.pages != addresses.size() || requested != addresses.size() ||
            cycle.listings != kSearches * hits || cycle.fresh != kSearches || !curl.ok ||
            curl.transfers != addresses.size()) {
            std::fprintf(
                stderr,
                "round %d went wrong: %zu pages, %zu requests, %zu listings, %zu new; curl %zu transfers%s\n",
                round + 1, cycle.pages, requested, cycle.listings, cycle.fresh, curl.transfers,
                curl.ok ? "" : ", failed");
            ok = false;
        }
        ours.push_back(cycle.seconds);
        oursProcessor.push_back(cycle.processorSeconds);
        curlWall.push_back(curl.wallSeconds);
        curlTransfers.push_back(curl.transferSeconds);
        previous = std::move(cycle);
    }
    std::filesystem::remove(configPath);

    const double cycle = bench::median(ours);
    const double wall = bench::median(curlWall);
    const double transfers = bench::median(curlTransfers);
    std::printf("saved searches %zu x %d pages of %d (%zu addresses), one new listing each per cycle\n",
                kSearches, kPagesPerSearch, kListingsPerPage, addresses.size());
    std::printf("cycle (median of %d)                  %.1f ms, processor %.1f ms\n", kRounds, cycle * 1000,
                bench::median(oursProcessor) * 1000);
    std::printf("curl, the same %zu in one run         %.1f ms, its transfers %.1f ms\n", addresses.size(),
                wall * 1000, transfers * 1000);
    std::printf("ratio cycle/curl                      %.2f (against curl's transfers %.2f), goal 1.50\n",
                cycle / wall, cycle / transfers);
    std::printf("load averages                         before %s, after %s\n", loadBefore.c_str(),
                bench::loadAverages().c_str());
    return ok ? 0 : 1;
}
