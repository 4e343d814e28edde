#pragma once

#include "xmlclient/XmlDocumentClient.h"

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

typedef void CURL;
typedef void CURLM;

namespace pelimo::platform {
class EventLoop;
class EventTimer;
} // namespace pelimo::platform

namespace pelimo {

enum class TransferOutcome {
    Answered, // a complete answer arrived, whatever its HTTP status
    Failed,   // connection failure, dropped answer, silence, over-size answer
    Aborted,  // abort was called
};
using TransferDone = std::function<void(TransferOutcome outcome, std::string body)>;

// One GET at a time; the easy handle lives as long as the transfer object, so
// consecutive loads of one client keep their options (connections stay in the engine).
class WebTransfer {
public:
    WebTransfer();
    ~WebTransfer();
    WebTransfer(const WebTransfer&) = delete;
    WebTransfer& operator=(const WebTransfer&) = delete;

    // Running or finished with its result not yet delivered.
    bool busy() const { return running || queued; }
    // Of the last answer, readable from its done on until the next start: the HTTP status (0
    // when no answer came) and its Retry-After field as sent (nothing when it had none).
    long httpStatus() const { return statusCode; }
    const std::optional<std::string>& retryAfter() const { return retryAfterField; }
    // The last transfer failed because the peer kept silent or was too slow.
    bool timedOut() const { return timedOutFlag; }
    // A transfer in the background (a picture) gives way to the others: it never counts as
    // waiting for TransferEngine::foregroundWaiting.
    void setBackground(bool value) { background = value; }

private:
    friend class TransferEngine;
    using Clock = std::chrono::steady_clock;

    CURL* easy = nullptr;
    LoadLimits limits;
    TransferDone done;
    std::string body;
    bool overflow = false;
    bool running = false; // added to the multi handle
    bool queued = false;  // in the engine's queue of results
    bool background = false;
    TransferOutcome outcome = TransferOutcome::Failed;
    long statusCode = 0;
    std::optional<std::string> retryAfterField;
    bool timedOutFlag = false;
    // The peer's silence counts from its last byte, or from when it was last handed
    // something to answer (the start, for a connect); time we spent elsewhere before the
    // request went out is not its silence.
    Clock::time_point quietSince;
    // The whole answer's time counts from the request's first send.
    Clock::time_point answerSince;
    bool requestSent = false;
};

// The one engine behind every web load of the process: a libcurl multi handle driven by
// its sockets and its timer through the installed event loop, so a transfer moves on
// inside any loop that runs, another load's wait or a modal dialog alike. Transfers are
// bounded by the peer's silence and by the time for the whole answer, and both are
// judged only after the sockets were read, so time we spent elsewhere never counts.
class TransferEngine {
public:
    using Outcome = TransferOutcome;
    using Done = TransferDone;

    static TransferEngine& shared();

    // Starts a GET of url; done runs later, from the event loop or a wait, exactly once
    // unless the transfer is cancelled first. False (done never runs) when it cannot start.
    bool start(WebTransfer& transfer, const std::string& url, const LoadLimits& limits, Done done);
    // Ends the transfer; its done runs with Aborted before abort returns.
    void abort(WebTransfer& transfer);
    // Ends the transfer without running done.
    void cancel(WebTransfer& transfer);
    // Drives the engine on its own sockets only, handling no other event, until the
    // transfer's result was delivered.
    void runAlone(WebTransfer& transfer);

    // Whether a transfer not in the background is running or has its result to deliver yet.
    bool foregroundWaiting() const;
    // The handler runs each time no foreground transfer is left waiting: after the last one's
    // result was delivered, or it was cancelled. It should only take note (arm a timer, say).
    // Returns the number that removes it.
    int addIdleHandler(std::function<void()> handler);
    void removeIdleHandler(int id);

private:
    using Clock = std::chrono::steady_clock;

    TransferEngine();

    static int onSocketChange(CURL* easy, int fd, int what, void* engine, void* socketData);
    static int onTimerChange(CURLM* multi, long timeoutMs, void* engine);
    static size_t receive(char* data, size_t size, size_t count, void* transfer);
    static size_t receiveHeader(char* data, size_t size, size_t count, void* transfer);
    static void noteHeader(WebTransfer& transfer, std::string_view line);

    platform::EventLoop& loop();
    void watch(int fd, int what);
    // The transfer's request went out: the peer's turn to answer begins now.
    static void peerTurn(CURL* easy);
    void socketReady(int fd, int events);
    void timerDue();
    void act(int fd, int events);
    // Waits up to timeoutMs for the engine's own sockets and hands libcurl the ready ones;
    // true when one had input.
    bool pollSockets(int timeoutMs);
    void runCurlTimerIfDue();
    void collectFinished();
    void checkBounds();
    void finish(WebTransfer& transfer, Outcome outcome);
    void deliver(WebTransfer* only = nullptr);
    void noteIfIdle();
    // When libcurl's timer or a bound is due next (results waiting aside).
    Clock::time_point nextDue() const;
    void rearm();

    CURLM* multi = nullptr;
    std::map<int, int> sockets; // fd -> libcurl's CURL_POLL_* wish
    platform::EventLoop* watchedBy = nullptr;
    std::unique_ptr<platform::EventTimer> timer;
    bool curlTimerSet = false;
    Clock::time_point curlDue;
    std::vector<WebTransfer*> running;
    std::deque<WebTransfer*> results;
    std::map<int, std::function<void()>> idleHandlers;
    int nextIdleHandler = 1;
};

} // namespace pelimo
