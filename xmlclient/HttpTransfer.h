#pragma once

#include "xmlclient/XmlDocumentClient.h"

#include <functional>
#include <string>

typedef void CURL;
typedef void CURLM;

namespace pelimo {

// One GET at a time on a libcurl multi handle. The easy handle lives as long as the client,
// so consecutive loads of one client reuse the connection to the listing service.
class XmlDocumentClient::HttpTransfer {
public:
    enum class Outcome {
        Answered, // a complete answer arrived, whatever its HTTP status
        Stopped,  // betweenRounds asked to stop
        Failed,   // connection failure, dropped answer, timeout, over-size answer
    };

    HttpTransfer();
    ~HttpTransfer();
    HttpTransfer(const HttpTransfer&) = delete;
    HttpTransfer& operator=(const HttpTransfer&) = delete;

    bool usable() const { return multi && easy; }

    // Fetches url into body. betweenRounds runs after every round of transfer work; when it
    // returns true the transfer is dropped and the result is Stopped.
    Outcome fetch(const std::string& url, const LoadLimits& limits,
                  const std::function<bool()>& betweenRounds, std::string& body);

private:
    struct Sink {
        std::string* body = nullptr;
        size_t maxBytes = 0;
        bool overflow = false;
    };
    static size_t receive(char* data, size_t size, size_t count, void* sink);

    CURLM* multi = nullptr;
    CURL* easy = nullptr;
};

} // namespace pelimo
