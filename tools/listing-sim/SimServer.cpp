#include "tools/listing-sim/SimServer.h"

#include "platform/text/SjisText.h"
#include "tools/listing-sim/ItemPage.h"
#include "tools/listing-sim/ListingXml.h"
#include "tools/listing-sim/RemainTime.h"
#include "tools/listing-sim/RequestParams.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstdlib>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>

namespace pelimo::sim {
namespace {

constexpr size_t kCatalogueSize = 3000;
constexpr size_t kHugeAnswerBytes = 17u * 1024 * 1024;
constexpr int64_t kMostYen = 1000000000000;
constexpr const char* kHtmlType = "text/html; charset=utf-8";
// httplib listens with a queue of five connections; a client opening a tab's worth of
// connections at once then loses some SYNs and waits a second for each one sent again.
constexpr int kListenBacklog = 128;

std::vector<std::string> typeCodes(const std::string& at)
{
    std::vector<std::string> codes;
    size_t start = 0;
    while (start <= at.size()) {
        const size_t comma = at.find(',', start);
        const size_t end = comma == std::string::npos ? at.size() : comma;
        if (end > start)
            codes.push_back(at.substr(start, end - start));
        start = end + 1;
    }
    return codes;
}

// The socket of the connection a request came on, found by its two ports, or -1.
int connectionSocket(int localPort, int remotePort)
{
    DIR* dir = opendir("/proc/self/fd");
    if (!dir)
        return -1;
    int found = -1;
    while (const dirent* entry = readdir(dir)) {
        const int fd = std::atoi(entry->d_name);
        if (fd <= 2)
            continue;
        sockaddr_in local{};
        sockaddr_in peer{};
        socklen_t localLength = sizeof local;
        socklen_t peerLength = sizeof peer;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) != 0 ||
            getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0 ||
            local.sin_family != AF_INET)
            continue;
        if (ntohs(local.sin_port) == localPort && ntohs(peer.sin_port) == remotePort) {
            found = fd;
            break;
        }
    }
    closedir(dir);
    return found;
}

// One line of /sim/ended: number, final price and bids, tab-separated.
std::string endedLine(const EndedListing& ended)
{
    return ended.itemNo + '\t' + std::to_string(ended.price) + '\t' + std::to_string(ended.bids) + '\n';
}

std::string tooManyRequestsHtml(int status)
{
    return "<html><body><h1>" + std::to_string(status) + "</h1></body></html>\n";
}

} // namespace

SimServer::SimServer(const SimOptions& options)
    : options(options), picturesModified(httpDate(0)), delayMs(options.delayMs)
{
    fault = options.fault;
    http.new_task_queue = [] {
        return new httplib::ThreadPool(32);
    };
    http.set_keep_alive_max_count(1000000);
    http.set_keep_alive_timeout(2);
    http.set_read_timeout(5);
    http.set_write_timeout(5);
    http.set_tcp_nodelay(true);
    http.set_socket_options([this](int sock) {
        httplib::default_socket_options(sock);
        listenSocket = sock;
    });
    routes();
}

int SimServer::bind()
{
    const int port = options.port == 0 ? http.bind_to_any_port("127.0.0.1")
                                       : (http.bind_to_port("127.0.0.1", options.port) ? options.port : -1);
    if (port <= 0)
        return -1;
    // Listening again on the bound socket only widens its queue.
    if (listenSocket >= 0)
        ::listen(listenSocket, kListenBacklog);
    std::lock_guard lock(mutex);
    catalogue = std::make_unique<Catalogue>(words, options.seed, kCatalogueSize,
                                            "http://127.0.0.1:" + std::to_string(port));
    for (const auto& [word, count] : options.hits)
        catalogue->addHits(word, count, 0);
    store = std::make_unique<ListingStore>(*catalogue);
    return port;
}

int64_t SimServer::currentTime()
{
    const int64_t now = clock.now();
    catalogue->advanceTo(now);
    return now;
}

bool SimServer::run()
{
    return http.listen_after_bind();
}

void SimServer::stop()
{
    stopping = true;
    http.stop();
}

bool SimServer::pause(int milliseconds) const
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!stopping) {
        const auto left = until - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero())
            return true;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(left, std::chrono::milliseconds(10)));
    }
    return false;
}

void SimServer::routes()
{
    pictureRoutes();
    http.Get("/bep/xml",
             [this](const httplib::Request& req, httplib::Response& res) { serveListing(req, res); });
    http.Get(R"(/aff/([^/]+)/([^/]+)/WS/pitem_GK([^/]*))",
             [this](const httplib::Request& req, httplib::Response& res) { serveItemPage(req, res); });

    http.Get("/sim/fault", [this](const httplib::Request& req, httplib::Response& res) {
        const auto mode = faultModeNamed(req.get_param_value("mode"));
        const auto count = numberParam(req, "count");
        const auto ms = numberParam(req, "ms");
        const auto retry = numberParam(req, "retry");
        const auto status = numberParam(req, "status");
        if (!mode || (req.has_param("count") && (!count || *count < 1)) ||
            (req.has_param("ms") && (!ms || *ms < 0 || *ms > 1000)) ||
            (req.has_param("retry") && (!retry || *retry < 0 || *retry > 1000000)) ||
            (req.has_param("status") && status != 429 && status != 503))
            return plainAnswer(res, "bad fault\n", 400);
        std::lock_guard lock(mutex);
        fault = *mode;
        faultCount = count ? static_cast<int>(std::min<int64_t>(*count, 1000000)) : -1;
        if (*mode == FaultMode::Slow)
            slowMs = ms ? static_cast<int>(*ms) : 2;
        if (*mode == FaultMode::RateLimit) {
            rateLimit.status = status ? static_cast<int>(*status) : 429;
            rateLimit.retryAfterSeconds = retry ? static_cast<int>(*retry) : -1;
            rateLimit.asDate = req.get_param_value("date") == "1";
        }
        plainAnswer(res, "ok\n");
    });
    http.Get("/sim/delay", [this](const httplib::Request& req, httplib::Response& res) {
        const auto ms = numberParam(req, "ms");
        if (!ms || *ms < 0 || *ms > 600000)
            return plainAnswer(res, "bad delay\n", 400);
        std::lock_guard lock(mutex);
        if (req.has_param("keyword"))
            keywordDelayMs[utf8Param(req, "keyword")] = static_cast<int>(*ms);
        else
            delayMs = static_cast<int>(*ms);
        plainAnswer(res, "ok\n");
    });
    http.Get("/sim/put", [this](const httplib::Request& req, httplib::Response& res) {
        ListingFields fields;
        fields.itemNo = utf8Param(req, "ItemNo");
        fields.itemName = utf8Param(req, "ItemName");
        fields.currentPrice = utf8Param(req, "CurrentPrice");
        fields.imageUrl = utf8Param(req, "ImageUrl");
        fields.auctionType = utf8Param(req, "AuctionType");
        fields.itemNum = utf8Param(req, "ItemNum");
        fields.bidNum = utf8Param(req, "BidNum");
        fields.remainTime = utf8Param(req, "RemainTime");
        if (fields.itemNo.empty())
            return plainAnswer(res, "ItemNo missing\n", 400);
        std::lock_guard lock(mutex);
        if (!req.has_param("ImageUrl"))
            fields.imageUrl = catalogue->pictureUrl(fields.itemNo);
        // ends=never keeps it reported whatever its remaining time says.
        const auto remaining = req.get_param_value("ends") == "never"
                                   ? std::nullopt
                                   : longestRemaining(fields.remainTime, words);
        store->pin(std::move(fields), remaining ? std::optional(currentTime() + *remaining) : std::nullopt);
        plainAnswer(res, "ok\n");
    });
    http.Get("/sim/remove", [this](const httplib::Request& req, httplib::Response& res) {
        const std::string itemNo = utf8Param(req, "ItemNo");
        if (itemNo.empty())
            return plainAnswer(res, "ItemNo missing\n", 400);
        std::lock_guard lock(mutex);
        store->remove(itemNo);
        plainAnswer(res, "ok\n");
    });
    http.Get("/sim/hits", [this](const httplib::Request& req, httplib::Response& res) {
        const std::string word = utf8Param(req, "word");
        const auto count = numberParam(req, "count");
        if (word.empty() || !count || *count < 0 || *count > 1000000)
            return plainAnswer(res, "bad hits\n", 400);
        std::lock_guard lock(mutex);
        catalogue->addHits(word, static_cast<size_t>(*count), currentTime());
        plainAnswer(res, "ok\n");
    });
    http.Get("/sim/advance", [this](const httplib::Request& req, httplib::Response& res) {
        const auto seconds = numberParam(req, "seconds");
        if (!seconds || *seconds < 0 || *seconds > 365LL * 24 * 3600)
            return plainAnswer(res, "bad advance\n", 400);
        std::lock_guard lock(mutex);
        clock.advance(*seconds);
        plainAnswer(res, "ok\n");
    });
    http.Get("/sim/end", [this](const httplib::Request& req, httplib::Response& res) {
        const std::string itemNo = utf8Param(req, "ItemNo");
        const auto price = numberParam(req, "price");
        const auto bids = numberParam(req, "bids");
        if (itemNo.empty() || (req.has_param("price") && (!price || *price < 0 || *price > kMostYen)) ||
            (req.has_param("bids") && (!bids || *bids < 0 || *bids > kMostYen)))
            return plainAnswer(res, "bad end\n", 400);
        std::lock_guard lock(mutex);
        switch (store->end(itemNo, price, bids, currentTime())) {
        case ListingStore::EndOutcome::Ended:
            return plainAnswer(res, "ok\n");
        case ListingStore::EndOutcome::AlreadyEnded:
            return plainAnswer(res, "already ended\n", 409);
        case ListingStore::EndOutcome::Unknown:
            return plainAnswer(res, "no such listing\n", 404);
        }
    });
    http.Get("/sim/ended", [this](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard lock(mutex);
        const int64_t now = currentTime();
        if (req.has_param("ItemNo")) {
            const ListingStatus found = store->status(utf8Param(req, "ItemNo"), now);
            if (found.state != ListingStatus::State::Ended)
                return plainAnswer(res, "not ended\n", 404);
            return plainAnswer(res, endedLine({found.fields.itemNo, found.finalPrice, found.finalBids}));
        }
        std::string lines;
        for (const EndedListing& ended : store->endedByTests(now))
            lines += endedLine(ended);
        plainAnswer(res, lines);
    });
    http.Get("/sim/requests", [this](const httplib::Request&, httplib::Response& res) {
        std::lock_guard lock(mutex);
        plainAnswer(res, log.raw());
    });
    // A cheap progress reading for benchmarks that poll while the program works.
    http.Get("/sim/requests/count", [this](const httplib::Request&, httplib::Response& res) {
        std::lock_guard lock(mutex);
        plainAnswer(res, std::to_string(log.received()) + "\n");
    });
    http.Get("/sim/requests/decoded", [this](const httplib::Request&, httplib::Response& res) {
        std::lock_guard lock(mutex);
        plainAnswer(res, log.decoded());
    });
    http.Get("/sim/reset", [this](const httplib::Request&, httplib::Response& res) {
        std::lock_guard lock(mutex);
        log.clear();
        fault = FaultMode::None;
        faultCount = -1;
        slowMs = 2;
        rateLimit = RateLimitAnswer{};
        delayMs = 0;
        keywordDelayMs.clear();
        store->clearOverrides();
        clock.reset();
        pictureLog.clear();
        pictureFaults.clear();
        plainAnswer(res, "ok\n");
    });
}

std::string SimServer::listingAnswerFor(const httplib::Request& req)
{
    std::lock_guard lock(mutex);
    const int64_t now = currentTime();
    if (req.has_param("exhibit_id")) {
        // One listing, or none: an unknown or ended one answers page 1 of 1 without ItemInfo,
        // the same shape as a search that found nothing.
        std::vector<ListingFields> items;
        if (auto found = store->lookup(utf8Param(req, "exhibit_id"), now))
            items.push_back(std::move(*found));
        return listingAnswer(1, 1, static_cast<int64_t>(items.size()), items);
    }
    SearchQuery query;
    query.terms = keywordTerms(utf8Param(req, "keyword"));
    query.types = typeCodes(req.get_param_value("at"));
    query.priceLow = numberParam(req, "clow");
    query.priceHigh = numberParam(req, "chigh");
    const int64_t page = std::clamp<int64_t>(numberParam(req, "page").value_or(1), 1, 1000000000);
    int64_t perPage = numberParam(req, "ipp").value_or(10);
    if (perPage < 1 || perPage > 100)
        perPage = 10;
    const auto result = store->search(query, page, perPage, now);
    const int64_t totalPages = std::max<int64_t>(1, (result.matches + perPage - 1) / perPage);
    return listingAnswer(totalPages, page, result.matches, result.items);
}

void SimServer::serveListing(const httplib::Request& req, httplib::Response& res)
{
    FaultMode mode = FaultMode::None;
    int delay = 0;
    int slow = 2;
    RateLimitAnswer limited;
    {
        std::lock_guard lock(mutex);
        log.add(req.target);
        mode = fault;
        if (faultCount > 0 && --faultCount == 0) {
            fault = FaultMode::None;
            faultCount = -1;
        }
        const auto own = keywordDelayMs.find(utf8Param(req, "keyword"));
        delay = own != keywordDelayMs.end() ? own->second : delayMs;
        slow = slowMs;
        limited = rateLimit;
    }
    if (delay > 0 && !pause(delay)) {
        res.status = 503;
        return;
    }

    switch (mode) {
    case FaultMode::None:
        res.set_content(listingAnswerFor(req), kXmlContentType);
        return;
    case FaultMode::Html:
        res.status = 500;
        res.set_content(serverErrorHtml(words), kHtmlType);
        return;
    case FaultMode::Malformed:
        res.set_content(cutInsideElement(listingAnswerFor(req)), kXmlContentType);
        return;
    case FaultMode::Bomb:
        res.set_content(entityBombAnswer(), kXmlContentType);
        return;
    case FaultMode::Empty: {
        const int64_t page = std::clamp<int64_t>(numberParam(req, "page").value_or(1), 1, 1000000000);
        res.set_content(listingAnswer(page + 4, page, (page + 4) * 10, {}), kXmlContentType);
        return;
    }
    case FaultMode::RateLimit:
        res.status = limited.status;
        if (limited.retryAfterSeconds >= 0)
            res.set_header("Retry-After", limited.asDate ? httpDate(limited.retryAfterSeconds)
                                                         : std::to_string(limited.retryAfterSeconds));
        res.set_content(tooManyRequestsHtml(limited.status), kHtmlType);
        return;
    case FaultMode::Hang:
        hold(req);
        res.status = 503;
        return;
    case FaultMode::Drop: {
        // The headers promise the whole answer; the connection closes after half of it.
        auto body = std::make_shared<std::string>(listingAnswerFor(req));
        res.set_content_provider(body->size(), kXmlContentType,
                                 [body](size_t, size_t, httplib::DataSink& sink) {
                                     sink.write(body->data(), body->size() / 2);
                                     return false;
                                 });
        return;
    }
    case FaultMode::Slow: {
        auto body = std::make_shared<std::string>(listingAnswerFor(req));
        res.set_content_provider(body->size(), kXmlContentType,
                                 [this, body, slow](size_t offset, size_t length, httplib::DataSink& sink) {
                                     for (size_t i = offset; i < offset + length; ++i) {
                                         if (!sink.write(body->data() + i, 1) || !pause(slow))
                                             return false;
                                     }
                                     return true;
                                 });
        return;
    }
    case FaultMode::Huge: {
        std::string block;
        {
            std::lock_guard lock(mutex);
            const int64_t now = currentTime();
            const auto& all = catalogue->listings();
            std::string utf8;
            for (size_t i = 0; i < 100 && i < all.size(); ++i)
                utf8 += itemInfoElement(catalogue->fieldsAt(all[i], now));
            block = platform::utf8ToSjis(utf8);
        }
        const size_t blocks = kHugeAnswerBytes / std::max<size_t>(block.size(), 1) + 1;
        auto parts = std::make_shared<std::vector<std::string>>(
            std::vector<std::string>{listingAnswerHead(1, 1, static_cast<int64_t>(blocks * 100)),
                                     std::move(block), listingAnswerTail()});
        res.set_chunked_content_provider(
            kXmlContentType, [this, parts, blocks](size_t, httplib::DataSink& sink) {
                const auto& [head, body, tail] = std::tie((*parts)[0], (*parts)[1], (*parts)[2]);
                if (!sink.write(head.data(), head.size()))
                    return false;
                for (size_t i = 0; i < blocks; ++i)
                    if (stopping || !sink.write(body.data(), body.size()))
                        return false;
                if (!sink.write(tail.data(), tail.size()))
                    return false;
                sink.done();
                return true;
            });
        return;
    }
    }
}

void SimServer::hold(const httplib::Request& req)
{
    // Nothing is answered while the client waits; a client that gives up or a stopping
    // simulator ends the wait. Without the socket at hand the wait is bounded.
    const int fd = connectionSocket(req.local_port, req.remote_port);
    const auto limit = std::chrono::steady_clock::now() + std::chrono::minutes(10);
    while (std::chrono::steady_clock::now() < limit) {
        if (stopping) {
            if (fd >= 0)
                shutdown(fd, SHUT_RDWR);
            return;
        }
        if (fd < 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            continue;
        }
        pollfd watch{fd, POLLIN | POLLRDHUP, 0};
        if (poll(&watch, 1, 20) > 0) {
            if (watch.revents & (POLLRDHUP | POLLHUP | POLLERR))
                return;
            char byte = 0;
            if (recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
}

void SimServer::serveItemPage(const httplib::Request& req, httplib::Response& res)
{
    const std::string itemNo = req.matches[3];
    ListingStatus found;
    {
        std::lock_guard lock(mutex);
        found = store->status(itemNo, currentTime());
    }
    if (found.state == ListingStatus::State::Unknown) {
        res.status = 404;
        res.set_content(itemNotFoundHtml(itemNo, words), kHtmlType);
        return;
    }
    // The site keeps the page of an ended listing, with its final price.
    if (found.state == ListingStatus::State::Ended)
        found.fields.remainTime = words.ended;
    res.set_content(itemPageHtml(found.fields, words), kHtmlType);
}

} // namespace pelimo::sim
