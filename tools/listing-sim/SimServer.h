#pragma once

#include "tools/listing-sim/Catalogue.h"
#include "tools/listing-sim/FaultMode.h"
#include "tools/listing-sim/ListingStore.h"
#include "tools/listing-sim/PictureFaults.h"
#include "tools/listing-sim/RequestLog.h"
#include "tools/listing-sim/SimClock.h"
#include "tools/listing-sim/SimOptions.h"
#include "tools/listing-sim/Vocabulary.h"

#include <atomic>
#include <httplib.h>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace pelimo::sim {

// How the ratelimit fault answers: its status and Retry-After (seconds ahead, -1 for none),
// sent as delay-seconds or as the date that many seconds ahead.
struct RateLimitAnswer {
    int status = 429;
    int retryAfterSeconds = -1;
    bool asDate = false;
};

// The listing service, its item pages and pictures, and the control endpoint tests steer it
// with, served on loopback. httplib answers on a pool of threads; one mutex guards all state below.
class SimServer {
public:
    explicit SimServer(const SimOptions& options);
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    // Binds 127.0.0.1 on the option's port (0 = any); returns the port, or -1.
    int bind();
    // Serves until stop(); false when serving could not start.
    bool run();
    // Callable from any thread; held answers (hang, delay, slow) give up promptly.
    void stop();

private:
    void routes();
    void pictureRoutes();
    // The clock's time, with the catalogue brought up to it; the mutex is held.
    int64_t currentTime();
    void serveListing(const httplib::Request& req, httplib::Response& res);
    std::string listingAnswerFor(const httplib::Request& req); // Shift_JIS
    void serveItemPage(const httplib::Request& req, httplib::Response& res);
    void servePicture(const httplib::Request& req, httplib::Response& res);
    void hold(const httplib::Request& req);
    bool pause(int milliseconds) const;

    const SimOptions options;
    httplib::Server http;
    int listenSocket = -1;
    std::atomic<bool> stopping{false};
    const std::string picturesModified; // the start, as an HTTP date

    std::mutex mutex;
    Vocabulary words;
    std::unique_ptr<Catalogue> catalogue;
    std::unique_ptr<ListingStore> store;
    SimClock clock;
    RequestLog log;
    RequestLog pictureLog;
    PictureFaults pictureFaults;
    FaultMode fault = FaultMode::None;
    int faultCount = -1; // requests the fault still applies to; -1 = until changed
    int slowMs = 2;
    RateLimitAnswer rateLimit;
    int delayMs = 0;
    std::map<std::string, int> keywordDelayMs; // instead of delayMs for a search of that keyword
};

} // namespace pelimo::sim
