// The price history on a real desktop: the archive pane, reached from the command bar, and the
// chart window, opened from it by a double-click, show what history.db holds. The screen is
// read for what they drew, not compared pixel for pixel.
#include "history/HistoryStore.h"
#include "platform/text/SjisText.h"
#include "tests/desktop/DesktopSession.h"
#include "tests/support/SimulatorProcess.h"
#include "tests/support/TempFolder.h"
#include "watch/AramFile.h"

#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>

namespace pelimo {
namespace {

using namespace std::chrono_literals;
using test::Screenshot;

// Places inside the main window, in pixels from its top-left corner, as the window lays itself
// out in the fonts the test machine has (see the other desktop suites).
struct Area {
    int x, y, w, h;
};
constexpr Area kArchiveButton{232, 130, 0, 0}; // the command bar's "終了した出品"
constexpr Area kTopPane{4, 200, 700, 120};     // the top pane, below its first rows
constexpr Area kFirstArchiveRow{200, 226, 0, 0};

// The chart's price line, as PriceChart draws it.
constexpr Screenshot::Pixel kPriceLine{0x1f, 0x5f, 0xbf};

// Pixels darker than frames and backgrounds: text and lines.
int inkOf(const Screenshot& shot)
{
    int dark = 0;
    for (int y = 0; y < shot.height; ++y) {
        for (int x = 0; x < shot.width; ++x) {
            const Screenshot::Pixel p = shot.at(x, y);
            dark += p.r + p.g + p.b < 300 ? 1 : 0;
        }
    }
    return dark;
}

class HistoryDesktopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const std::string reason = test::DesktopSession::missingReason(); !reason.empty())
            GTEST_SKIP() << "no desktop session: " << reason;
        ASSERT_TRUE(session.start(false, true)) << "the desktop session did not come up";
        ASSERT_TRUE(sim.start());
        writeHistory();
    }

    // A watched camera whose price rose over a day until it ended, and a lens a saved search
    // stopped seeing.
    void writeHistory()
    {
        // Two days ago: well within the retention the program prunes to at its start.
        HistoryTime now =
            std::chrono::time_point_cast<std::chrono::seconds>(std::chrono::system_clock::now()) -
            std::chrono::hours(48);
        HistoryStore store([&now] { return now; });
        ASSERT_EQ(store.open(home.file("history.db"), 365).outcome, HistoryFileOpen::Outcome::opened);
        const ListingOrigin lenses = ListingOrigin::savedSearch(platform::utf8ToSjis("レンズ"));
        HistoryBatch run = store.openBatch(lenses);
        run.record(ItemInfo{"h200", platform::utf8ToSjis("望遠 レンズ 300mm"), "8800", "NO", "", "2", "1",
                            platform::utf8ToSjis("10分")});
        ASSERT_TRUE(store.commit(run).status.ok());
        now += 1h;
        HistoryBatch later = store.openBatch(lenses);
        later.archiveUnreported("h200");
        ASSERT_EQ(store.commit(later).archived, 1);

        ItemInfo camera{"h100", platform::utf8ToSjis("一眼レフ カメラ ボディ"), "", "NO", "", "0", "1", ""};
        for (int i = 0; i < 24; ++i) {
            camera.CurrentPrice = std::to_string(3000 + 700 * i + (i % 3) * 250);
            camera.BidNum = std::to_string(i);
            camera.RemainTime = platform::utf8ToSjis(std::to_string(24 - i) + "時間");
            HistoryBatch pass = store.openBatch(ListingOrigin::watchList());
            pass.record(camera);
            ASSERT_TRUE(store.commit(pass).status.ok());
            now += 1h;
        }
        HistoryBatch ended = store.openBatch(ListingOrigin::watchList());
        ended.archiveEnded("h100");
        ASSERT_EQ(store.commit(ended).archived, 1);
        ASSERT_TRUE(saveAramFile({camera}, home.path()));
    }

    Screenshot grab(Area a) const { return session.grab(frame[0] + a.x, frame[1] + a.y, a.w, a.h); }
    // Saves the window's picture for the README when the screenshot folder is named.
    void keepPicture(unsigned long window, const std::string& name) const
    {
        const char* folder = std::getenv("PELIMO_SCREENSHOT_DIR");
        if (folder == nullptr || *folder == '\0')
            return;
        session.run("import -window " + std::to_string(window) + " " + folder + "/" + name);
    }

    test::DesktopSession session;
    test::SimulatorProcess sim;
    test::TempFolder home{"pelimo-desktop-history"};
    test::DesktopProcess program;
    unsigned long window = 0;
    std::vector<int> frame;
};

TEST_F(HistoryDesktopTest, TheArchiveAndTheChartShowWhatTheStoreHolds)
{
    ASSERT_TRUE(program.start({PELIMO_PROGRAM_PATH}, session.programEnvironment(sim.baseUrl()), home.path()));
    ASSERT_TRUE(test::waitUntil(
        [this] {
            window = session.findWindow("Pelimo for zelvo");
            const auto place = window != 0 ? session.geometry(window) : std::nullopt;
            frame = place.value_or(std::vector<int>{});
            return place && (*place)[2] == 800 && (*place)[3] == 650;
        },
        60s))
        << "the main window did not show";
    const int emptyPane = inkOf(grab(kTopPane));

    // The archive pane: its rows draw text where the empty result pane had none.
    ASSERT_TRUE(session.click(window, kArchiveButton.x, kArchiveButton.y));
    EXPECT_TRUE(test::waitUntil([&] { return inkOf(grab(kTopPane)) > emptyPane + 200; }, 30s))
        << "the archive pane shows no rows";
    keepPicture(window, "archive.png");

    // The chart of the first row, the latest end: the camera.
    ASSERT_TRUE(session.run("xdotool mousemove --window " + std::to_string(window) + " " +
                            std::to_string(kFirstArchiveRow.x) + " " + std::to_string(kFirstArchiveRow.y) +
                            " click --repeat 2 --delay 80 1"));
    unsigned long chart = 0;
    ASSERT_TRUE(test::waitUntil([&] { return (chart = session.findWindow("一眼レフ")) != 0; }, 30s))
        << "no chart window";
    std::optional<std::vector<int>> place;
    ASSERT_TRUE(test::waitUntil(
        [&] {
            place = session.geometry(chart);
            if (!place)
                return false;
            const Screenshot shot = session.grab((*place)[0], (*place)[1], (*place)[2], (*place)[3]);
            return shot.count(kPriceLine, 60) > 100;
        },
        30s))
        << "the chart drew no price line";
    keepPicture(chart, "price-chart.png");

    program.signal(SIGTERM);
    const std::optional<int> status = program.waitExit(30s);
    ASSERT_TRUE(status.has_value()) << "the program is still running";
    EXPECT_EQ(*status, 0);
}

} // namespace
} // namespace pelimo
