#include "platform/DescriptorWait.h"

#include "platform/EventLoop.h"

#include <array>
#include <chrono>
#include <gtest/gtest.h>
#include <unistd.h>

namespace pelimo::platform {
namespace {

using namespace std::chrono_literals;

// A pipe closed with the test.
struct Pipe {
    std::array<int, 2> fds{-1, -1};
    Pipe() { EXPECT_EQ(::pipe(fds.data()), 0); }
    ~Pipe()
    {
        for (int fd : fds)
            if (fd >= 0)
                ::close(fd);
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    void closeWriteEnd()
    {
        ::close(fds[1]);
        fds[1] = -1;
    }
};

// The transfers' wait: what it reports ready is what the owner may read or write without
// blocking, including an end the peer has closed; a quiet descriptor reports nothing.
TEST(DescriptorWaitTest, ReportsWhatIsReadyAndNothingWhenQuiet)
{
    Pipe pipe;
    std::vector<DescriptorWatch> watches{{pipe.fds[0], EventLoop::Readable, 0},
                                         {pipe.fds[1], EventLoop::Writable, 0}};
    ASSERT_TRUE(waitForDescriptors(watches, 0ms));
    EXPECT_EQ(watches[0].ready, 0) << "an empty pipe has nothing to read";
    EXPECT_EQ(watches[1].ready, EventLoop::Writable);

    std::vector<DescriptorWatch> reader{{pipe.fds[0], EventLoop::Readable, 0}};
    EXPECT_FALSE(waitForDescriptors(reader, 20ms));
    EXPECT_EQ(reader[0].ready, 0);

    ASSERT_EQ(::write(pipe.fds[1], "x", 1), 1);
    EXPECT_TRUE(waitForDescriptors(reader, 5s));
    EXPECT_EQ(reader[0].ready, EventLoop::Readable);

    char byte = 0;
    ASSERT_EQ(::read(pipe.fds[0], &byte, 1), 1);
    pipe.closeWriteEnd();
    EXPECT_TRUE(waitForDescriptors(reader, 5s)) << "a hang-up is reported as readable";
    EXPECT_EQ(reader[0].ready, EventLoop::Readable);
}

TEST(DescriptorWaitTest, NothingToWatchWaitsOutTheBoundAndReportsNothing)
{
    std::vector<DescriptorWatch> none;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(waitForDescriptors(none, 30ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 15ms) << "an empty wait must not spin";
}

} // namespace
} // namespace pelimo::platform
