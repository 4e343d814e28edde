#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

namespace pelimo::test {

// A loopback HTTP server of pictures, answering GET /img/<name> with the body the test chose
// for the name (by default a few hundred bytes naming it), several clients at once. It keeps
// the names asked for, in order, and how many requests it held at most at the same time; it
// can hold every answer until told to let them go.
class PictureServer {
public:
    using Body = std::function<std::string(const std::string& name)>;

    PictureServer();
    ~PictureServer(); // lets held answers go, then stops
    PictureServer(const PictureServer&) = delete;
    PictureServer& operator=(const PictureServer&) = delete;

    bool running() const { return portNumber != 0; }
    std::string url(const std::string& name) const;

    // The body of every name without an answer of its own.
    void setBody(Body body);
    // The status and body for one name; streamed sends it chunked, without a length.
    void answer(const std::string& name, int status, std::string body, bool streamed = false);
    // Answers wait from now until release (at most a minute, so no test hangs on them).
    void hold();
    void release();

    std::vector<std::string> requests();
    size_t mostAtOnce();
    // Waits until that many requests are held at once, at most the bound.
    bool waitForHeld(size_t count, std::chrono::milliseconds bound);

private:
    struct Answer {
        int status = 200;
        std::string body;
        bool streamed = false;
    };

    std::mutex mutex;
    std::condition_variable changed;
    Body defaultBody;
    std::map<std::string, Answer> answers;
    std::vector<std::string> names;
    bool holding = false;
    size_t atOnce = 0;
    size_t held = 0;
    size_t most = 0;
    int portNumber = 0;
    std::unique_ptr<httplib::Server> server;
    std::thread thread;
};

} // namespace pelimo::test
