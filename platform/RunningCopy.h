#pragma once

#include "platform/DataFolderLock.h"
#include "platform/EventLoop.h"
#include "platform/net/Socket.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace pelimo::platform {

// The running copy's side of a hand-over: it listens on a local socket named after its data
// folder and answers a later start's request to show its window. Requests are taken through
// the event loop, never by a blocking accept; a request that came before serve() waits in the
// socket's queue. Only processes of the same user are heard.
class RunningCopyListener {
public:
    // Shows the window; false when the copy is on its way out and cannot take the start over.
    using ShowWindow = std::function<bool()>;

    RunningCopyListener(Socket listening, std::string folder);
    ~RunningCopyListener();
    RunningCopyListener(const RunningCopyListener&) = delete;
    RunningCopyListener& operator=(const RunningCopyListener&) = delete;

    void serve(ShowWindow showWindow, EventLoop& loop = eventLoop());

private:
    struct Request {
        Socket socket;
        std::string received;
        std::chrono::steady_clock::time_point since;
    };

    void acceptWaiting();
    void readRequest(int fd);
    void answer(int fd, std::string_view reply);
    void dropStale();

    Socket listening;
    std::string folder;
    ShowWindow showWindow;
    EventLoop* loop = nullptr;
    std::map<int, Request> requests;
    std::unique_ptr<EventTimer> staleTimer;
};

// What a start found on its data folder.
struct FolderClaim {
    enum class Outcome {
        owner,       // this process holds the folder (listener set when later starts can reach it)
        handedOver,  // the running copy shows its window: this start ends
        noAnswer,    // another process holds the folder and did not take the start over in time
        interrupted, // a termination signal came while waiting for the running copy
        unguarded,   // the folder cannot be locked (no folder, no permission): run without the guard
    };

    Outcome outcome = Outcome::unguarded;
    DataFolderLock lock;
    std::unique_ptr<RunningCopyListener> listener;
    pid_t holder = 0; // noAnswer: the process that holds the folder, 0 when unknown
};

struct ClaimOptions {
    std::string lockFileName;                  // the lock file in the folder
    std::string socketPrefix;                  // the socket's name begins with it
    std::chrono::milliseconds patience{15000}; // how long a start waits for the running copy
};

// Takes the folder, or hands the start over to the copy that holds it. A copy that is still
// starting answers once its event loop runs; one that is ending lets go of the folder, which
// this start then takes. Blocks for at most the patience.
FolderClaim claimDataFolder(const std::string& folder, const ClaimOptions& options);

// The socket name of the running copy on a folder: the prefix and a digest of the folder's real
// path, so that any path, however long, gives a name the system takes.
std::string runningCopySocketName(std::string_view prefix, const std::string& realFolder);

} // namespace pelimo::platform
