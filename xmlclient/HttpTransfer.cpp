#include "xmlclient/HttpTransfer.h"

#include <algorithm>
#include <chrono>
#include <curl/curl.h>
#include <thread>

namespace pelimo {
namespace {

// Redirects are followed, but only a few and only
// to web addresses.
constexpr long kMaxRedirects = 5;
// Longest wait for the socket between two dispatches of pending events.
constexpr int kPollMilliseconds = 2;

void ensureGlobalInit()
{
    static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    (void)initialised;
}

} // namespace

XmlDocumentClient::HttpTransfer::HttpTransfer()
{
    ensureGlobalInit();
    multi = curl_multi_init();
    easy = curl_easy_init();
}

XmlDocumentClient::HttpTransfer::~HttpTransfer()
{
    if (easy)
        curl_easy_cleanup(easy);
    if (multi)
        curl_multi_cleanup(multi);
}

size_t XmlDocumentClient::HttpTransfer::receive(char* data, size_t size, size_t count, void* sinkPtr)
{
    auto* sink = static_cast<Sink*>(sinkPtr);
    const size_t bytes = size * count;
    if (sink->body->size() + bytes > sink->maxBytes) {
        sink->overflow = true;
        return 0; // ends the transfer with a write error at once
    }
    sink->body->append(data, bytes);
    return bytes;
}

XmlDocumentClient::HttpTransfer::Outcome
XmlDocumentClient::HttpTransfer::fetch(const std::string& url, const LoadLimits& limits,
                                       const std::function<bool()>& betweenRounds, std::string& body)
{
    body.clear();
    if (!usable())
        return Outcome::Failed;

    Sink sink{&body, limits.maxBytes, false};
    // libcurl reads 0 as "no limit"; every load here has one.
    const long timeoutMs = std::max<long>(1, static_cast<long>(limits.timeout.count()));
    // Options are set on every load; the handle keeps its connection cache between them.
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, timeoutMs);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, timeoutMs);
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBytes));
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &HttpTransfer::receive);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(easy, CURLOPT_FAILONERROR, 0L);

    if (curl_multi_add_handle(multi, easy) != CURLM_OK)
        return Outcome::Failed;

    // libcurl enforces the timeout itself; this deadline only guards against a transfer
    // that libcurl never ends.
    const auto deadline = std::chrono::steady_clock::now() + limits.timeout + std::chrono::seconds(1);
    Outcome outcome = Outcome::Failed;
    bool transferDue = true;
    for (;;) {
        if (transferDue) {
            int running = 0;
            if (curl_multi_perform(multi, &running) != CURLM_OK)
                break;
            bool finished = false;
            int queued = 0;
            while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
                if (message->msg == CURLMSG_DONE && message->easy_handle == easy) {
                    finished = true;
                    outcome = message->data.result == CURLE_OK && !sink.overflow ? Outcome::Answered
                                                                                 : Outcome::Failed;
                }
            }
            if (finished || running == 0)
                break;
        }
        if (betweenRounds && betweenRounds()) {
            outcome = Outcome::Stopped;
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            break;
        // Wait a little for the socket: one round every couple of milliseconds keeps the
        // window responsive, and the transfer is driven only when its socket or one of
        // libcurl's timers calls for it, so a long wait costs next to no processor time.
        int ready = 0;
        if (curl_multi_poll(multi, nullptr, 0, kPollMilliseconds, &ready) != CURLM_OK) {
            std::this_thread::sleep_for(std::chrono::milliseconds(kPollMilliseconds));
            transferDue = true;
            continue;
        }
        long dueInMs = -1;
        curl_multi_timeout(multi, &dueInMs);
        transferDue = ready > 0 || dueInMs == 0;
    }
    // Removing an unfinished transfer closes its connection; a finished one stays cached.
    curl_multi_remove_handle(multi, easy);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, nullptr);
    if (outcome != Outcome::Answered)
        body.clear();
    return outcome;
}

} // namespace pelimo
