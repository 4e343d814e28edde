#include "mail/InterruptibleCurl.h"

#include "platform/net/WaitInterrupt.h"

#include <memory>

namespace pelimo {
namespace {

// libcurl's own bounds decide when a quiet transfer ends; this is only how often it is asked.
constexpr int kPollMs = 1000;

struct MultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};

} // namespace

CURLcode performInterruptibly(CURL* easy, const platform::WaitInterrupt* interrupt)
{
    // A multi handle of its own, so the wait can watch the interrupt beside the transfer's
    // sockets.
    const std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
    if (!multi || curl_multi_add_handle(multi.get(), easy) != CURLM_OK)
        return CURLE_OUT_OF_MEMORY;
    CURLcode result = CURLE_ABORTED_BY_CALLBACK;
    for (;;) {
        int running = 0;
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
            result = CURLE_RECV_ERROR;
            break;
        }
        if (running == 0) {
            int left = 0;
            const CURLMsg* message = curl_multi_info_read(multi.get(), &left);
            result = message && message->msg == CURLMSG_DONE ? message->data.result : CURLE_RECV_ERROR;
            break;
        }
        curl_waitfd wake{interrupt ? interrupt->descriptor() : -1, CURL_WAIT_POLLIN, 0};
        if (curl_multi_poll(multi.get(), &wake, interrupt ? 1 : 0, kPollMs, nullptr) != CURLM_OK) {
            result = CURLE_RECV_ERROR;
            break;
        }
        if (wake.revents != 0)
            break;
    }
    curl_multi_remove_handle(multi.get(), easy);
    return result;
}

} // namespace pelimo
