#include "platform/RunningCopy.h"

#include "platform/TerminationPipe.h"
#include "platform/net/LocalSocket.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <unistd.h>

namespace pelimo::platform {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The request is the word and the folder's real path, ended by a NUL (a path may hold any
// other byte); the answer is one line.
constexpr std::string_view kShowWord = "show ";
constexpr std::string_view kShown = "shown\n";
constexpr std::string_view kClosing = "closing\n";
constexpr std::string_view kOtherFolder = "other\n";
// A path and the word fit many times over.
constexpr size_t kMaxRequestBytes = 16 * 1024;
constexpr size_t kMaxWaitingRequests = 16;
// A start that connects sends its request at once; one that does not is dropped after this.
constexpr auto kRequestBound = 2s;
// Between two tries of a start that waits for the running copy.
constexpr auto kRetryPause = 100ms;
// The longest a waiting start goes without looking for a termination signal.
constexpr auto kSignalLook = 200ms;

std::string realPath(const std::string& folder)
{
    char* resolved = ::realpath(folder.c_str(), nullptr);
    if (!resolved)
        return {};
    std::string path = resolved;
    std::free(resolved);
    return path;
}

bool sameUser(const Socket& socket)
{
    return peerUser(socket) == ::geteuid();
}

// Asks the copy listening under the name to show its window; true when it did.
bool askToShow(const std::string& name, const std::string& realFolder, Clock::time_point deadline)
{
    std::optional<Socket> socket = connectLocal(name);
    // Someone else's socket under the name is not the running copy.
    if (!socket || !sameUser(*socket))
        return false;
    std::string request(kShowWord);
    request += realFolder;
    request += '\0';
    if (!socket->sendAll(request, deadline))
        return false;
    std::string reply;
    char buffer[64];
    while (reply.find('\n') == std::string::npos && reply.size() < sizeof buffer) {
        const Clock::time_point slice = std::min(deadline, Clock::now() + kSignalLook);
        const std::optional<size_t> n = socket->receiveOnce(buffer, sizeof buffer, slice);
        if (n == 0u)
            return false; // closed without an answer: the copy is ending
        if (n) {
            reply.append(buffer, *n);
            continue;
        }
        if (Clock::now() < slice || Clock::now() >= deadline || terminationSignalPending())
            return false; // an error, the bound, or the user gave up
    }
    return reply == kShown;
}

} // namespace

std::string runningCopySocketName(std::string_view prefix, const std::string& realFolder)
{
    // FNV-1a, 64 bits: a clash of two folders' names is not to be expected, and a request
    // names its folder in full, so a clash could not show the wrong window anyway.
    uint64_t hash = 14695981039346656037ull;
    for (const char c : realFolder) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    char digest[17];
    std::snprintf(digest, sizeof digest, "%016llx", static_cast<unsigned long long>(hash));
    return std::string(prefix) + digest;
}

RunningCopyListener::RunningCopyListener(Socket listening, std::string folder)
    : listening(std::move(listening)), folder(std::move(folder))
{}

RunningCopyListener::~RunningCopyListener()
{
    if (!loop)
        return;
    loop->unwatchSocket(listening.descriptor());
    for (const auto& [fd, request] : requests)
        loop->unwatchSocket(fd);
}

void RunningCopyListener::serve(ShowWindow show, EventLoop& eventLoop)
{
    showWindow = std::move(show);
    loop = &eventLoop;
    staleTimer = loop->createTimer([this] { dropStale(); });
    loop->watchSocket(listening.descriptor(), true, false, [this](int, int) { acceptWaiting(); });
}

void RunningCopyListener::acceptWaiting()
{
    while (std::optional<Socket> socket = acceptLocal(listening)) {
        // Another user's process is not heard; a flood beyond the bound is closed unheard.
        if (!sameUser(*socket) || requests.size() >= kMaxWaitingRequests)
            continue;
        const int fd = socket->descriptor();
        requests[fd] = Request{std::move(*socket), {}, Clock::now()};
        loop->watchSocket(fd, true, false, [this](int ready, int) { readRequest(ready); });
        staleTimer->start(std::chrono::duration_cast<std::chrono::milliseconds>(kRequestBound));
    }
}

void RunningCopyListener::readRequest(int fd)
{
    const auto it = requests.find(fd);
    if (it == requests.end())
        return;
    Request& request = it->second;
    char buffer[4096];
    const std::optional<size_t> n = request.socket.receiveOnce(buffer, sizeof buffer, Clock::now());
    if (!n)
        return; // nothing after all; the bound drops a request that never comes
    if (*n == 0 || request.received.size() + *n > kMaxRequestBytes) {
        answer(fd, {});
        return;
    }
    request.received.append(buffer, *n);
    const size_t end = request.received.find('\0');
    if (end == std::string::npos)
        return;
    const std::string_view asked = std::string_view(request.received).substr(0, end);
    if (!asked.starts_with(kShowWord) || asked.substr(kShowWord.size()) != folder) {
        answer(fd, kOtherFolder);
        return;
    }
    answer(fd, showWindow && showWindow() ? kShown : kClosing);
}

void RunningCopyListener::answer(int fd, std::string_view reply)
{
    const auto it = requests.find(fd);
    if (it == requests.end())
        return;
    // A few bytes into an empty local socket: this never waits.
    if (!reply.empty())
        it->second.socket.sendAll(reply, deadlineAfter(std::chrono::milliseconds(100)));
    loop->unwatchSocket(fd);
    requests.erase(it);
}

void RunningCopyListener::dropStale()
{
    const Clock::time_point cutoff = Clock::now() - kRequestBound;
    for (auto it = requests.begin(); it != requests.end();) {
        if (it->second.since <= cutoff) {
            loop->unwatchSocket(it->first);
            it = requests.erase(it);
        } else {
            ++it;
        }
    }
    if (!requests.empty())
        staleTimer->start(std::chrono::duration_cast<std::chrono::milliseconds>(kRequestBound));
}

FolderClaim claimDataFolder(const std::string& folder, const ClaimOptions& options)
{
    FolderClaim claim;
    const std::string realFolder = realPath(folder);
    if (realFolder.empty())
        return claim; // unguarded: no folder to guard
    const std::string name = runningCopySocketName(options.socketPrefix, realFolder);
    const Clock::time_point deadline = Clock::now() + options.patience;
    for (;;) {
        switch (claim.lock.take(realFolder, options.lockFileName)) {
        case DataFolderLock::Outcome::taken:
            claim.outcome = FolderClaim::Outcome::owner;
            // Without the name (someone else's socket sits there) this copy still owns the
            // folder; a later start then finds nobody to hand over to and says so.
            if (std::optional<Socket> listening = listenLocal(name))
                claim.listener = std::make_unique<RunningCopyListener>(std::move(*listening), realFolder);
            return claim;
        case DataFolderLock::Outcome::unavailable:
            claim.outcome = FolderClaim::Outcome::unguarded;
            return claim;
        case DataFolderLock::Outcome::heldByAnother:
            break;
        }
        if (askToShow(name, realFolder, deadline)) {
            claim.outcome = FolderClaim::Outcome::handedOver;
            return claim;
        }
        if (terminationSignalPending()) {
            claim.outcome = FolderClaim::Outcome::interrupted;
            return claim;
        }
        if (Clock::now() + kRetryPause >= deadline) {
            claim.outcome = FolderClaim::Outcome::noAnswer;
            claim.holder = DataFolderLock::holderOf(realFolder, options.lockFileName);
            return claim;
        }
        std::this_thread::sleep_for(kRetryPause);
    }
}

} // namespace pelimo::platform
