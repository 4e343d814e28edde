#pragma once

#include "pictures/PictureLimits.h"
#include "pictures/PictureQueue.h"
#include "xmlclient/XmlDocumentClient.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace pelimo {
class WebTransfer;
namespace platform {
class EventTimer;
class EventLoop;
} // namespace platform
} // namespace pelimo

namespace pelimo::pictures {

class PictureDiskCache;

struct PictureFetcherOptions {
    size_t atOnce = kMaxPicturesAtOnce;
    // The silence and whole-answer bounds of every transfer, and the picture's size bound.
    LoadLimits limits{LoadLimits::kDefaultTimeout, kMaxPictureBytes, LoadLimits::kDefaultWholeAnswer};
    // Cached files read in one round of the event loop, so a screenful of hits never holds
    // the window for long.
    size_t diskReadsPerRound = 8;
};

// What became of a picture asked for; both run from the event loop, never inside a call of
// the fetcher's.
struct PictureHandlers {
    // Its bytes, from the disk cache or from its server (then cached).
    std::function<void(const std::string& address, std::string bytes)> ready;
    // It cannot be had: refused, not answered, too large, an error status. It is not asked
    // for again in this run.
    std::function<void(const std::string& address)> failed;
};

// Fetches the pictures that are wanted, the one asked for last first: from the disk cache
// when it holds them, otherwise through the transfer engine, a few at once and only while no
// listing request is waiting for its answer, so pictures never hold up a search (one that is
// running when a listing request starts goes on). A picture asked for and withdrawn by every
// asker before its turn is not fetched; one already on its way is finished and cached.
// Addresses are the listing's own, Shift-JIS like every text of a listing.
class PictureFetcher {
public:
    PictureFetcher(PictureDiskCache& cache, PictureHandlers handlers, PictureFetcherOptions options = {});
    ~PictureFetcher();
    PictureFetcher(const PictureFetcher&) = delete;
    PictureFetcher& operator=(const PictureFetcher&) = delete;

    // Asks for the picture on behalf of asker; false (and nothing follows) when it failed
    // before or is no address a picture is fetched from, which then counts as failed.
    bool ask(const std::string& address, PictureAsker asker = nullptr);
    // What asker shows now: these are asked for, the first of them first, and whatever else it
    // asked for is withdrawn.
    void showOnly(PictureAsker asker, const std::vector<std::string>& addresses);
    void withdraw(const std::string& address, PictureAsker asker = nullptr);
    void withdrawAll(PictureAsker asker);
    // The bytes delivered for the address are no picture that can be shown: it counts as
    // failed, and its cached copy goes.
    void reject(const std::string& address);
    // While paused, nothing is read from the disk cache and no transfer starts (what is on its
    // way comes), so a receiver with a backlog is not handed more.
    void setPaused(bool value);

    bool hasFailed(const std::string& address) const { return failures.contains(address); }
    // Nothing waiting and nothing on its way.
    bool idle() const { return wanted.empty() && onTheWay.empty(); }

    struct Counts {
        size_t requested = 0; // transfers started
        size_t fetched = 0;   // of them, pictures that came
        size_t fromCache = 0;
        size_t failed = 0;
    };
    const Counts& counts() const { return tally; }

private:
    struct Slot;

    void fail(const std::string& address);
    void armRound();
    void round();
    void readFromDisk();
    void startTransfers();
    bool start(Slot& slot, const std::string& address);
    void finished(Slot& slot, bool answered, std::string body);

    PictureDiskCache& cache;
    PictureHandlers handlers;
    PictureFetcherOptions options;
    PictureQueue wanted;
    std::unordered_set<std::string> onTheWay;
    std::unordered_set<std::string> failures;
    std::vector<std::unique_ptr<Slot>> transferSlots;
    std::unique_ptr<platform::EventTimer> roundTimer;
    platform::EventLoop* timerLoop = nullptr;
    int idleHandler = 0;
    bool paused = false;
    Counts tally;
};

} // namespace pelimo::pictures
