#include "xmlclient/TransferEngine.h"

#include "platform/DescriptorWait.h"
#include "platform/EventLoop.h"

#include <algorithm>
#include <cctype>
#include <curl/curl.h>

namespace pelimo {
namespace {

// Redirects are followed, but only a few and only to web addresses.
constexpr long kMaxRedirects = 5;
// The silence bound covers the connect as well; libcurl's own limit is only a backstop.
constexpr long kConnectBackstopMs = 24L * 60 * 60 * 1000;
// Reading what the sockets hold before a bound is judged: enough rounds for a full
// answer that waited in the socket's buffer.
constexpr int kMaxReadRounds = 256;
// A Retry-After longer than this is no date nor number anybody sends; it is kept cut.
constexpr size_t kMaxRetryAfterBytes = 128;

void ensureGlobalInit()
{
    static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    (void)initialised;
}

int selectMask(int events)
{
    int mask = 0;
    if (events & platform::EventLoop::Readable)
        mask |= CURL_CSELECT_IN;
    if (events & platform::EventLoop::Writable)
        mask |= CURL_CSELECT_OUT;
    return mask;
}

} // namespace

WebTransfer::WebTransfer()
{
    ensureGlobalInit();
    easy = curl_easy_init();
}

WebTransfer::~WebTransfer()
{
    if (busy())
        TransferEngine::shared().cancel(*this);
    if (easy)
        curl_easy_cleanup(easy);
}

TransferEngine& TransferEngine::shared()
{
    // Never destroyed: cached connections may outlive the event loop they were watched by.
    static TransferEngine* engine = new TransferEngine;
    return *engine;
}

TransferEngine::TransferEngine()
{
    ensureGlobalInit();
    multi = curl_multi_init();
    if (!multi)
        return;
    curl_multi_setopt(multi, CURLMOPT_SOCKETFUNCTION, &TransferEngine::onSocketChange);
    curl_multi_setopt(multi, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(multi, CURLMOPT_TIMERFUNCTION, &TransferEngine::onTimerChange);
    curl_multi_setopt(multi, CURLMOPT_TIMERDATA, this);
}

platform::EventLoop& TransferEngine::loop()
{
    platform::EventLoop& current = platform::eventLoop();
    if (&current != watchedBy) {
        // Another loop was installed: the watches and the timer move over to it.
        if (watchedBy) {
            for (const auto& [fd, what] : sockets)
                watchedBy->unwatchSocket(fd);
        }
        watchedBy = &current;
        timer = current.createTimer([this] { timerDue(); });
        for (const auto& [fd, what] : sockets)
            watch(fd, what);
    }
    return current;
}

void TransferEngine::watch(int fd, int what)
{
    watchedBy->watchSocket(fd, (what & CURL_POLL_IN) != 0, (what & CURL_POLL_OUT) != 0,
                           [this](int readyFd, int events) { socketReady(readyFd, events); });
}

int TransferEngine::onSocketChange(CURL* easy, int fd, int what, void* enginePtr, void*)
{
    auto* self = static_cast<TransferEngine*>(enginePtr);
    self->loop();
    if (what == CURL_POLL_REMOVE) {
        self->sockets.erase(fd);
        self->watchedBy->unwatchSocket(fd);
        return 0;
    }
    // libcurl waits for input once the request is out (HTTP/1: one request per socket).
    const auto known = self->sockets.find(fd);
    const bool awaitedInput = known != self->sockets.end() && (known->second & CURL_POLL_IN);
    if ((what & CURL_POLL_IN) && !awaitedInput)
        peerTurn(easy);
    self->sockets[fd] = what;
    self->watch(fd, what);
    return 0;
}

void TransferEngine::peerTurn(CURL* easy)
{
    WebTransfer* transfer = nullptr;
    if (!easy || curl_easy_getinfo(easy, CURLINFO_PRIVATE, &transfer) != CURLE_OK || !transfer)
        return;
    const auto now = Clock::now();
    transfer->quietSince = now;
    if (!transfer->requestSent) {
        transfer->requestSent = true;
        transfer->answerSince = now;
    }
}

int TransferEngine::onTimerChange(CURLM*, long timeoutMs, void* enginePtr)
{
    // libcurl must not be called from here; the timer is armed once libcurl has returned.
    auto* self = static_cast<TransferEngine*>(enginePtr);
    self->curlTimerSet = timeoutMs >= 0;
    if (self->curlTimerSet)
        self->curlDue = Clock::now() + std::chrono::milliseconds(timeoutMs);
    return 0;
}

size_t TransferEngine::receive(char* data, size_t size, size_t count, void* transferPtr)
{
    auto* transfer = static_cast<WebTransfer*>(transferPtr);
    const size_t bytes = size * count;
    transfer->quietSince = Clock::now();
    if (transfer->body.size() + bytes > transfer->limits.maxBytes) {
        transfer->overflow = true;
        return 0; // ends the transfer with a write error at once
    }
    transfer->body.append(data, bytes);
    return bytes;
}

size_t TransferEngine::receiveHeader(char* data, size_t size, size_t count, void* transferPtr)
{
    auto* transfer = static_cast<WebTransfer*>(transferPtr);
    transfer->quietSince = Clock::now();
    noteHeader(*transfer, std::string_view(data, size * count));
    return size * count;
}

void TransferEngine::noteHeader(WebTransfer& transfer, std::string_view line)
{
    // Each answer of a redirect or an interim answer starts with its status line; only the
    // last answer's fields count.
    if (line.starts_with("HTTP/")) {
        transfer.retryAfterField.reset();
        return;
    }
    // Field names are case-insensitive; the value goes without the blanks around it
    // (RFC 9110 section 5.5).
    constexpr std::string_view name = "retry-after:";
    if (line.size() < name.size() ||
        !std::equal(name.begin(), name.end(), line.begin(), [](char wanted, char c) {
            return wanted == std::tolower(static_cast<unsigned char>(c));
        }))
        return;
    constexpr const char* blanks = " \t\r\n";
    const std::string_view value = line.substr(name.size());
    const size_t first = value.find_first_not_of(blanks);
    const std::string_view kept = first == std::string_view::npos
                                      ? std::string_view()
                                      : value.substr(first, value.find_last_not_of(blanks) + 1 - first);
    transfer.retryAfterField = std::string(kept.substr(0, kMaxRetryAfterBytes));
}

bool TransferEngine::start(WebTransfer& transfer, const std::string& url, const LoadLimits& limits, Done done)
{
    if (!multi || !transfer.easy || transfer.busy())
        return false;
    CURL* easy = transfer.easy;
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, kConnectBackstopMs);
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBytes));
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &TransferEngine::receive);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &TransferEngine::receiveHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_PRIVATE, &transfer);
    curl_easy_setopt(easy, CURLOPT_FAILONERROR, 0L);

    transfer.limits = limits;
    transfer.done = std::move(done);
    transfer.body.clear();
    transfer.overflow = false;
    transfer.statusCode = 0;
    transfer.retryAfterField.reset();
    transfer.timedOutFlag = false;
    transfer.answerSince = transfer.quietSince = Clock::now();
    transfer.requestSent = false;
    loop();
    if (curl_multi_add_handle(multi, easy) != CURLM_OK) {
        transfer.done = nullptr;
        return false;
    }
    transfer.running = true;
    running.push_back(&transfer);
    // libcurl asks to be called at once for a new transfer; doing so here saves a round of
    // the loop per load (a result that comes at once is still delivered from the loop).
    runCurlTimerIfDue();
    collectFinished();
    rearm();
    return true;
}

void TransferEngine::abort(WebTransfer& transfer)
{
    if (!transfer.busy())
        return;
    if (transfer.running)
        finish(transfer, Outcome::Aborted);
    transfer.outcome = Outcome::Aborted;
    transfer.body.clear();
    deliver(&transfer);
    // A wait that is about to block must still see that its load has ended.
    loop().wakeUp();
    rearm();
}

void TransferEngine::cancel(WebTransfer& transfer)
{
    const bool wasWaiting = transfer.busy() && !transfer.background;
    if (transfer.running) {
        // Removing an unfinished transfer closes its connection.
        curl_multi_remove_handle(multi, transfer.easy);
        std::erase(running, &transfer);
        transfer.running = false;
    }
    if (transfer.queued) {
        std::erase(results, &transfer);
        transfer.queued = false;
    }
    transfer.done = nullptr;
    transfer.body.clear();
    rearm();
    if (wasWaiting)
        noteIfIdle();
}

void TransferEngine::act(int fd, int events)
{
    int stillRunning = 0;
    curl_multi_socket_action(multi, fd, selectMask(events), &stillRunning);
}

void TransferEngine::socketReady(int fd, int events)
{
    act(fd, events);
    collectFinished();
    deliver();
    rearm();
}

void TransferEngine::timerDue()
{
    runCurlTimerIfDue();
    collectFinished();
    checkBounds();
    deliver();
    rearm();
}

bool TransferEngine::pollSockets(int timeoutMs)
{
    std::vector<platform::DescriptorWatch> watches;
    for (const auto& [fd, what] : sockets) {
        const int events = ((what & CURL_POLL_IN) ? platform::EventLoop::Readable : 0) |
                           ((what & CURL_POLL_OUT) ? platform::EventLoop::Writable : 0);
        watches.push_back({fd, events, 0});
    }
    if (!platform::waitForDescriptors(watches, std::chrono::milliseconds(timeoutMs)))
        return false;
    bool input = false;
    for (const platform::DescriptorWatch& watch : watches) {
        if (watch.ready == 0)
            continue;
        input = input || (watch.ready & platform::EventLoop::Readable);
        act(watch.fd, watch.ready);
    }
    return input;
}

void TransferEngine::runCurlTimerIfDue()
{
    if (!curlTimerSet || Clock::now() < curlDue)
        return;
    const auto asked = curlDue;
    int stillRunning = 0;
    curl_multi_socket_action(multi, CURL_SOCKET_TIMEOUT, 0, &stillRunning);
    // libcurl reports a timer only when it changes. Unchanged means its own time (kept finer
    // than ours) had not quite come: try again a millisecond later, never drop it.
    if (curlTimerSet && curlDue == asked)
        curlDue = Clock::now() + std::chrono::milliseconds(1);
}

void TransferEngine::collectFinished()
{
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        const CURLcode result = message->data.result;
        WebTransfer* transfer = nullptr;
        curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &transfer);
        if (!transfer || !transfer->running)
            continue;
        long status = 0;
        if (curl_easy_getinfo(message->easy_handle, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK)
            transfer->statusCode = status;
        transfer->timedOutFlag = result == CURLE_OPERATION_TIMEDOUT;
        finish(*transfer, result == CURLE_OK && !transfer->overflow ? Outcome::Answered : Outcome::Failed);
    }
}

void TransferEngine::checkBounds()
{
    const auto overdue = [](const WebTransfer* t, Clock::time_point now) {
        return now - t->quietSince >= t->limits.timeout || now - t->answerSince >= t->limits.wholeAnswer;
    };
    const auto anyOverdue = [&] {
        const auto now = Clock::now();
        return std::any_of(running.begin(), running.end(),
                           [&](const WebTransfer* t) { return overdue(t, now); });
    };
    if (!anyOverdue())
        return;
    // What arrived while this thread was busy elsewhere counts: the sockets are read first,
    // so only a peer that really kept silent, or really is too slow, fails.
    for (int round = 0; round < kMaxReadRounds && pollSockets(0); ++round)
        collectFinished();
    collectFinished();
    const auto now = Clock::now();
    for (WebTransfer* transfer : std::vector<WebTransfer*>(running)) {
        if (overdue(transfer, now)) {
            transfer->timedOutFlag = true;
            finish(*transfer, Outcome::Failed);
        }
    }
}

void TransferEngine::finish(WebTransfer& transfer, Outcome outcome)
{
    if (transfer.running) {
        // A finished transfer leaves its connection in the cache; an unfinished one closes it.
        curl_multi_remove_handle(multi, transfer.easy);
        std::erase(running, &transfer);
        transfer.running = false;
    }
    transfer.outcome = outcome;
    if (outcome != Outcome::Answered)
        transfer.body.clear();
    transfer.queued = true;
    results.push_back(&transfer);
}

void TransferEngine::deliver(WebTransfer* only)
{
    for (;;) {
        // A result handler may start, end or destroy any transfer, so the queue is read
        // afresh after each one.
        const auto next = only ? std::find(results.begin(), results.end(), only) : results.begin();
        if (next == results.end())
            return;
        WebTransfer* transfer = *next;
        results.erase(next);
        transfer->queued = false;
        const Done done = std::move(transfer->done);
        transfer->done = nullptr;
        std::string body = std::move(transfer->body);
        transfer->body.clear();
        // The handler may destroy the transfer.
        const bool foreground = !transfer->background;
        if (done)
            done(transfer->outcome, std::move(body));
        if (foreground)
            noteIfIdle();
        if (only)
            return;
    }
}

bool TransferEngine::foregroundWaiting() const
{
    const auto foreground = [](const WebTransfer* t) {
        return !t->background;
    };
    return std::any_of(running.begin(), running.end(), foreground) ||
           std::any_of(results.begin(), results.end(), foreground);
}

int TransferEngine::addIdleHandler(std::function<void()> handler)
{
    const int id = nextIdleHandler++;
    idleHandlers.emplace(id, std::move(handler));
    return id;
}

void TransferEngine::removeIdleHandler(int id)
{
    idleHandlers.erase(id);
}

void TransferEngine::noteIfIdle()
{
    if (idleHandlers.empty() || foregroundWaiting())
        return;
    // A handler may remove itself or another.
    const auto handlers = idleHandlers;
    for (const auto& [id, handler] : handlers) {
        if (idleHandlers.contains(id))
            handler();
    }
}

TransferEngine::Clock::time_point TransferEngine::nextDue() const
{
    auto due = Clock::time_point::max();
    if (curlTimerSet)
        due = curlDue;
    for (const WebTransfer* t : running)
        due = std::min({due, t->quietSince + t->limits.timeout, t->answerSince + t->limits.wholeAnswer});
    return due;
}

void TransferEngine::rearm()
{
    loop();
    const auto due = results.empty() ? nextDue() : Clock::now();
    if (due == Clock::time_point::max()) {
        timer->stop();
        return;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(due - Clock::now());
    timer->start(std::clamp(left, std::chrono::milliseconds(0), std::chrono::milliseconds(1 << 30)));
}

void TransferEngine::runAlone(WebTransfer& transfer)
{
    while (transfer.running) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(nextDue() - Clock::now());
        pollSockets(static_cast<int>(std::clamp<long long>(left.count(), 0, 1000)));
        runCurlTimerIfDue();
        collectFinished();
        checkBounds();
    }
    deliver(&transfer);
    // Results of other transfers that came in meanwhile go out from the event loop.
    rearm();
}

} // namespace pelimo
