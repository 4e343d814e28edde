#include "pictures/PictureFetcher.h"

#include "pictures/PictureAddress.h"
#include "pictures/PictureDiskCache.h"
#include "platform/EventLoop.h"
#include "platform/text/SjisText.h"
#include "xmlclient/TransferEngine.h"

#include <unordered_set>

namespace pelimo::pictures {

struct PictureFetcher::Slot {
    WebTransfer transfer; // kept between pictures, with its options and connection
    std::string address;
    bool busy = false;
};

PictureFetcher::PictureFetcher(PictureDiskCache& cache, PictureHandlers handlers,
                               PictureFetcherOptions options)
    : cache(cache), handlers(std::move(handlers)), options(options)
{
    for (size_t i = 0; i < std::max<size_t>(options.atOnce, 1); ++i) {
        transferSlots.push_back(std::make_unique<Slot>());
        transferSlots.back()->transfer.setBackground(true);
    }
    idleHandler = TransferEngine::shared().addIdleHandler([this] {
        if (wanted.anyToFetch())
            armRound();
    });
}

PictureFetcher::~PictureFetcher()
{
    TransferEngine::shared().removeIdleHandler(idleHandler);
    // The slots' transfers are cancelled as they go; their results are dropped.
}

bool PictureFetcher::ask(const std::string& address, PictureAsker asker)
{
    if (failures.contains(address))
        return false;
    if (!isPictureAddress(address)) {
        fail(address);
        return false;
    }
    if (onTheWay.contains(address))
        return true;
    wanted.ask(address, asker);
    if (!cache.enabled())
        wanted.markLookedUp(address);
    armRound();
    return true;
}

void PictureFetcher::showOnly(PictureAsker asker, const std::vector<std::string>& addresses)
{
    const std::unordered_set<std::string> shown(addresses.begin(), addresses.end());
    for (const std::string& address : wanted.askedBy(asker)) {
        if (!shown.contains(address))
            wanted.withdraw(address, asker);
    }
    // The last one asked goes first.
    for (auto address = addresses.rbegin(); address != addresses.rend(); ++address)
        ask(*address, asker);
}

void PictureFetcher::withdraw(const std::string& address, PictureAsker asker)
{
    wanted.withdraw(address, asker);
}

void PictureFetcher::withdrawAll(PictureAsker asker)
{
    wanted.withdrawAll(asker);
}

void PictureFetcher::reject(const std::string& address)
{
    cache.remove(address);
    fail(address);
}

void PictureFetcher::setPaused(bool value)
{
    if (paused == value)
        return;
    paused = value;
    if (!paused)
        armRound();
}

void PictureFetcher::fail(const std::string& address)
{
    if (failures.insert(address).second)
        ++tally.failed;
    wanted.remove(address);
}

void PictureFetcher::armRound()
{
    platform::EventLoop& loop = platform::eventLoop();
    if (!roundTimer || timerLoop != &loop) {
        roundTimer = loop.createTimer([this] { round(); });
        timerLoop = &loop;
    }
    roundTimer->start(std::chrono::milliseconds(0));
}

void PictureFetcher::round()
{
    if (paused)
        return;
    readFromDisk();
    startTransfers();
}

void PictureFetcher::readFromDisk()
{
    for (size_t reads = 0; reads < options.diskReadsPerRound && !paused;) {
        const std::optional<std::string> address = wanted.nextToLookUp();
        if (!address)
            return;
        ++reads;
        std::optional<std::string> bytes = cache.read(*address);
        if (!bytes) {
            wanted.markLookedUp(*address);
            continue;
        }
        wanted.remove(*address);
        ++tally.fromCache;
        if (handlers.ready)
            handlers.ready(*address, std::move(*bytes));
    }
    // More next round, after the window's own events.
    if (!paused && wanted.nextToLookUp())
        armRound();
}

void PictureFetcher::startTransfers()
{
    for (const std::unique_ptr<Slot>& slot : transferSlots) {
        while (!slot->busy) {
            // Pictures give way to listing requests; the engine says when the last one ended.
            if (paused || !wanted.anyToFetch() || TransferEngine::shared().foregroundWaiting())
                return;
            const std::string address = *wanted.takeNextToFetch();
            if (start(*slot, address))
                break;
            fail(address);
            if (handlers.failed)
                handlers.failed(address);
        }
    }
}

bool PictureFetcher::start(Slot& slot, const std::string& address)
{
    const bool started = TransferEngine::shared().start(
        slot.transfer, platform::sjisToUtf8(address), options.limits,
        [this, &slot](TransferOutcome outcome, std::string body) {
            finished(slot, outcome == TransferOutcome::Answered, std::move(body));
        });
    if (!started)
        return false;
    slot.busy = true;
    slot.address = address;
    onTheWay.insert(address);
    ++tally.requested;
    return true;
}

void PictureFetcher::finished(Slot& slot, bool answered, std::string body)
{
    const std::string address = std::move(slot.address);
    slot.busy = false;
    onTheWay.erase(address);
    const long status = slot.transfer.httpStatus();
    armRound();
    if (answered && status >= 200 && status < 300 && !body.empty()) {
        ++tally.fetched;
        cache.store(address, body);
        if (handlers.ready)
            handlers.ready(address, std::move(body));
        return;
    }
    fail(address);
    if (handlers.failed)
        handlers.failed(address);
}

} // namespace pelimo::pictures
