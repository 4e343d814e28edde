// One running copy per data folder: the folder's lock and the hand-over over the local socket,
// between claims made in one process (a lock belongs to an open file, so two claims contend as
// two processes would), the owner's side served on an event loop of its own thread.
#include "platform/RunningCopy.h"

#include "platform/PollEventLoop.h"
#include "tests/support/TempFolder.h"

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace pelimo {
namespace {

using namespace std::chrono_literals;
using platform::ClaimOptions;
using platform::FolderClaim;

class RunningCopyTest : public ::testing::Test {
protected:
    void TearDown() override { stopServing(); }

    // The owner answers as the program's event loop would: from its own loop, here a thread's.
    void serve(platform::RunningCopyListener& listener, platform::RunningCopyListener::ShowWindow show)
    {
        listener.serve(std::move(show), loop);
        tick = loop.createTimer([this] { tick->start(20ms); }); // so the loop looks at `stop` often
        tick->start(20ms);
        server = std::thread([this] {
            while (!stop)
                loop.waitForEvents();
        });
    }
    void stopServing()
    {
        stop = true;
        if (server.joinable())
            server.join();
    }

    test::TempFolder temp{"pelimo-running-copy"};
    platform::PollEventLoop loop;
    std::unique_ptr<platform::EventTimer> tick;
    std::atomic<bool> stop{false};
    std::thread server;
};

TEST_F(RunningCopyTest, ALaterStartOnTheFolderHandsOverToTheOwnerWhateverThePathsLength)
{
    // Far beyond the 108 bytes a socket's path may have.
    std::string folder = temp.path();
    while (folder.size() < 300)
        folder += "/a-folder-with-a-rather-long-name";
    ASSERT_TRUE(std::filesystem::create_directories(folder));
    const ClaimOptions options{".test.lock", "pelimo-test-", 10s};

    FolderClaim owner = platform::claimDataFolder(folder, options);
    ASSERT_EQ(owner.outcome, FolderClaim::Outcome::owner);
    ASSERT_TRUE(owner.listener);
    // A copy on another folder runs beside it.
    EXPECT_EQ(platform::claimDataFolder(temp.path(), options).outcome, FolderClaim::Outcome::owner);

    std::atomic<int> shown{0};
    std::atomic<bool> closing{false};
    serve(*owner.listener, [&] {
        ++shown;
        return !closing;
    });
    const FolderClaim second = platform::claimDataFolder(folder, options);
    EXPECT_EQ(second.outcome, FolderClaim::Outcome::handedOver);
    EXPECT_FALSE(second.lock.held());
    EXPECT_EQ(shown.load(), 1);

    // An owner on its way out takes no start over: the start waits for the folder, then says
    // who holds it.
    closing = true;
    const FolderClaim late = platform::claimDataFolder(folder, {".test.lock", "pelimo-test-", 700ms});
    EXPECT_EQ(late.outcome, FolderClaim::Outcome::noAnswer);
    EXPECT_EQ(late.holder, ::getpid());
    EXPECT_GE(shown.load(), 2);

    // Once it has let go, the next start owns the folder.
    stopServing();
    owner = FolderClaim{};
    EXPECT_EQ(platform::claimDataFolder(folder, options).outcome, FolderClaim::Outcome::owner);
}

TEST(DataFolderLockTest, AProgramStartedByTheHolderDoesNotKeepTheFolderLockedAfterIt)
{
    // The program starts other programs (a browser); one still running after the program ended
    // must not hold its folder.
    test::TempFolder temp{"pelimo-lock"};
    int started[2];
    ASSERT_EQ(::pipe(started), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        platform::DataFolderLock lock;
        if (lock.take(temp.path(), ".test.lock") != platform::DataFolderLock::Outcome::taken)
            ::_exit(1);
        // The holder ends once the child runs the other program: a pipe that closes on exec.
        int execed[2];
        if (::pipe2(execed, O_CLOEXEC) != 0)
            ::_exit(1);
        const pid_t child = ::fork();
        if (child == 0) {
            ::execlp("sleep", "sleep", "30", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(execed[1]);
        char byte;
        [[maybe_unused]] const ssize_t closed = ::read(execed[0], &byte, 1);
        [[maybe_unused]] const ssize_t n = ::write(started[1], &child, sizeof child);
        ::_exit(0);
    }
    ::close(started[1]);
    pid_t child = 0;
    ASSERT_EQ(::read(started[0], &child, sizeof child), static_cast<ssize_t>(sizeof child));
    ::close(started[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(holder, &status, 0), holder);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    platform::DataFolderLock lock;
    EXPECT_EQ(lock.take(temp.path(), ".test.lock"), platform::DataFolderLock::Outcome::taken);
    ::kill(child, SIGKILL);
}

} // namespace
} // namespace pelimo
