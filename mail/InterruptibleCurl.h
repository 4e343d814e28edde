#pragma once

#include <curl/curl.h>

namespace pelimo {

namespace platform {
class WaitInterrupt;
}

// Runs one libcurl transfer to its end, within the bounds its options set, as
// curl_easy_perform does, except that a raised interrupt ends it at once with
// CURLE_ABORTED_BY_CALLBACK. nullptr: the bounds alone.
CURLcode performInterruptibly(CURL* easy, const platform::WaitInterrupt* interrupt);

} // namespace pelimo
