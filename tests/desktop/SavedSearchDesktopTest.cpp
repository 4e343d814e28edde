// A saved search on a real desktop: saved from its tab's popup menu, the program quit and started
// again, and a listing that appeared meanwhile told by a desktop notification and by mail.
#include "platform/FileSystem.h"
#include "platform/text/SjisText.h"
#include "settings/SettingsStore.h"
#include "tests/desktop/DesktopSession.h"
#include "tests/support/MailSettings.h"
#include "tests/support/SimulatorProcess.h"
#include "tests/support/SmtpSink.h"
#include "tests/support/TempFolder.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace pelimo {
namespace {

using namespace std::chrono_literals;
using test::Screenshot;

constexpr const char* kKeyword = "deskwatch";
constexpr const char* kNewNo = "dw900";
constexpr const char* kNewTitle = "deskwatch 新品 望遠レンズ";

// Places inside the main window, in pixels from its top-left corner, as the window lays itself
// out in the fonts the test machine has.
struct Area {
    int x, y, w, h;
};
constexpr Area kKeywordBox{112, 74, 0, 0};     // the command bar's keyword field
constexpr Area kSearchButton{248, 74, 0, 0};   // its "検索"
constexpr Area kFirstTab{34, 178, 0, 0};       // the first search tab
constexpr Area kTabCaptions{0, 171, 400, 15};  // the tab strip's text, between its frame lines
constexpr Area kPauseButton{705, 388, 85, 20}; // the tab's "一時停止", hidden once all pages are in
constexpr Area kCommandLabels{0, 36, 300, 18}; // "検索キーワード" and the lot-number box's text

// How dark each column is, counting only pixels darker than frames and backgrounds, spread
// over its neighbours: text drawn half a pixel further along keeps nearly the same profile.
using Ink = std::vector<int>;

Ink inkOf(const Screenshot& shot)
{
    Ink dark(static_cast<size_t>(shot.width) + 2, 0);
    for (int y = 0; y < shot.height; ++y) {
        for (int x = 0; x < shot.width; ++x) {
            const Screenshot::Pixel p = shot.at(x, y);
            dark[static_cast<size_t>(x) + 1] += std::max(0, 500 - (p.r + p.g + p.b));
        }
    }
    Ink columns(static_cast<size_t>(shot.width), 0);
    for (size_t x = 0; x < columns.size(); ++x)
        columns[x] = dark[x] + dark[x + 1] + dark[x + 2];
    return columns;
}

// The first and one past the last inked column.
std::pair<int, int> inkSpan(const Ink& ink)
{
    const auto first = std::find_if(ink.begin(), ink.end(), [](int n) { return n > 0; });
    const auto last = std::find_if(ink.rbegin(), ink.rend(), [](int n) { return n > 0; });
    return {static_cast<int>(first - ink.begin()), static_cast<int>(ink.rend() - last)};
}

// How far `shifted` differs from `ink` moved right by dx, over ink's span, against all its ink.
double mismatch(const Ink& ink, const Ink& shifted, int dx)
{
    const auto [from, to] = inkSpan(ink);
    int differ = 0;
    int total = 0;
    for (int x = from; x < to; ++x) {
        const size_t at = static_cast<size_t>(x + dx);
        differ += std::abs(ink[static_cast<size_t>(x)] - (at < shifted.size() ? shifted[at] : 0));
        total += ink[static_cast<size_t>(x)];
    }
    return total == 0 ? 1.0 : static_cast<double>(differ) / total;
}

// Whether two captions' ink is alike: another text differs through and through.
constexpr double kAlike = 0.25;

// How far the caption `marked` has moved the plain caption's text right to make room for a
// mark in front of it (0 when it has not).
int markWidth(const Ink& plain, const Ink& marked)
{
    const int plainFrom = inkSpan(plain).first;
    int best = 0;
    for (int dx = 6; dx <= 40; ++dx) {
        const bool inFront = std::any_of(marked.begin() + plainFrom, marked.begin() + plainFrom + dx - 3,
                                         [](int n) { return n > 0; });
        if (inFront && mismatch(plain, marked, dx) < (best == 0 ? kAlike : mismatch(plain, marked, best)))
            best = dx;
    }
    return best;
}

class SavedSearchDesktopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const std::string reason = test::DesktopSession::missingReason(); !reason.empty())
            GTEST_SKIP() << "no desktop session: " << reason;
        // Without a tray, so that the program tells its alerts by desktop notification, which
        // dunst keeps with their title and text; the tray's balloon is pixels only.
        ASSERT_TRUE(session.start(true, false)) << "the desktop session did not come up";
        ASSERT_TRUE(sim.start());
        ASSERT_EQ(smtp.startError(), "");
        ASSERT_FALSE(home.path().empty());
        EnvSettings settings = defaultSettings();
        settings.alarmBalloon = 1;
        settings.alarmMail = 1;
        test::mailThrough(settings, smtp.port());
        ASSERT_TRUE(saveSettingsTo(home.file("env.ini"), settings));
    }

    // Starts the program in the data home and waits until its window takes input.
    void startProgram()
    {
        ASSERT_TRUE(
            program.start({PELIMO_PROGRAM_PATH}, session.programEnvironment(sim.baseUrl()), home.path()));
        // Placed by the window manager at its full size, with its first frame drawn. (Not the
        // status bar: the saved searches' mail may have emptied it already.)
        ASSERT_TRUE(test::waitUntil(
            [this] {
                window = session.findWindow("Pelimo for zelvo");
                const auto place = window != 0 ? session.geometry(window) : std::nullopt;
                frame = place.value_or(std::vector<int>{});
                return place && (*place)[2] == 800 && (*place)[3] == 650 && inked(kCommandLabels);
            },
            60s))
            << "the main window did not show";
    }

    void stopProgram()
    {
        program.signal(SIGTERM);
        const std::optional<int> status = program.waitExit(30s);
        ASSERT_TRUE(status.has_value()) << "the program is still running";
        EXPECT_EQ(*status, 0);
    }

    Screenshot grab(Area a) const { return session.grab(frame[0] + a.x, frame[1] + a.y, a.w, a.h); }
    bool inked(Area a) const
    {
        const Ink ink = inkOf(grab(a));
        return std::any_of(ink.begin(), ink.end(), [](int n) { return n > 0; });
    }

    void click(Area at, int button = 1)
    {
        // The program's first window may be replaced while it starts (the screenshot scripts
        // met it too); a click on the one looked up earlier then fails.
        if (const unsigned long now = session.findWindow("Pelimo for zelvo"); now != 0)
            window = now;
        ASSERT_TRUE(session.click(window, at.x, at.y, button));
    }

    size_t visibleWindows() const { return session.visibleWindows("pelimo"); }

    // A field of the newest notification dunst has had, once every shown one is closed; its
    // history prints `"name" : { "type" : "s", "data" : "value" }`.
    std::string notificationField(const std::string& name) const
    {
        session.run("dunstctl close-all");
        const std::string history = session.run("dunstctl history").value_or("");
        const size_t field = history.find("\"" + name + "\"");
        const std::string data = "\"data\" : \"";
        const size_t from = field == std::string::npos ? field : history.find(data, field);
        if (from == std::string::npos)
            return {};
        const size_t start = from + data.size();
        return history.substr(start, history.find("\"\n", start) - start);
    }

    test::DesktopSession session;
    test::SimulatorProcess sim{{"--hits", std::string(kKeyword) + "=25"}};
    test::SmtpSink smtp;
    test::TempFolder home{"pelimo-desktop-saved"};
    test::DesktopProcess program;
    unsigned long window = 0;
    std::vector<int> frame;
};

TEST_F(SavedSearchDesktopTest, ListingThatAppearedWhileClosedIsToldAtTheNextStart)
{
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_NO_FATAL_FAILURE(click(kKeywordBox));
    ASSERT_TRUE(session.run(std::string("xdotool type ") + kKeyword));
    ASSERT_NO_FATAL_FAILURE(click(kSearchButton));
    // All three pages asked for and taken in: the tab's pause button has gone.
    ASSERT_TRUE(test::waitUntil(
        [this] {
            const std::vector<std::string> asked = sim.decodedRequests();
            const bool lastAsked = std::any_of(asked.begin(), asked.end(), [](const std::string& r) {
                return r.find(std::string("keyword=") + kKeyword) != std::string::npos &&
                       r.find("page=3") != std::string::npos;
            });
            return lastAsked && inked(kTabCaptions) && !inked(kPauseButton);
        },
        60s))
        << "the search's pages did not load";
    const Ink plain = inkOf(grab(kTabCaptions));

    const size_t before = visibleWindows();
    ASSERT_NO_FATAL_FAILURE(click(kFirstTab, 3));
    ASSERT_TRUE(test::waitUntil([&] { return visibleWindows() > before; }, 30s)) << "no menu";
    // "このタブを削除する", then "この検索を保存する".
    ASSERT_TRUE(session.run("xdotool key Down Down Return"));
    Ink marked;
    int mark = 0;
    EXPECT_TRUE(test::waitUntil(
        [&] { return (mark = markWidth(plain, marked = inkOf(grab(kTabCaptions)))) > 0; }, 15s))
        << "no mark before the caption";
    EXPECT_TRUE(std::filesystem::exists(home.file("SearchList.xml")));
    ASSERT_NO_FATAL_FAILURE(stopProgram());

    ASSERT_TRUE(sim.control(std::string("/sim/put?ItemNo=") + kNewNo +
                            "&ItemName=" + test::percentEncode(kNewTitle) + "&CurrentPrice=4800&RemainTime=" +
                            test::percentEncode("3日") + "&AuctionType=NO&BidNum=0&ItemNum=1&ImageUrl="));
    ASSERT_NO_FATAL_FAILURE(startProgram());

    std::string title;
    EXPECT_TRUE(test::waitUntil([&] { return (title = notificationField("summary")) == "新着情報"; }, 60s))
        << "the newest notification: " << title;
    // The history writes the text's line ends as "\n".
    EXPECT_NE(notificationField("body").find(std::string("【") + kNewNo + "】\\n" + kNewTitle),
              std::string::npos)
        << notificationField("body");

    ASSERT_TRUE(test::waitUntil([this] { return !smtp.messages().empty(); }, 60s)) << "no mail";
    const std::string heading = platform::utf8ToSjis(std::string("新着：") + kKeyword);
    const std::string mail = smtp.messages().front();
    const size_t block = mail.find(heading);
    EXPECT_NE(block, std::string::npos);
    EXPECT_NE(mail.find(platform::utf8ToSjis(kNewTitle), block), std::string::npos);
    // The listings there were when the search was saved are not told again.
    EXPECT_EQ(mail.find(platform::utf8ToSjis("試験出品")), std::string::npos);

    // The saved search's tab is back with its mark: the caption begins as it did once saved
    // (a count of the new listings may follow it).
    if (mark > 0) {
        // The mark and as much of the text after it: the tab's close button lies further on,
        // where the new count has moved it.
        const int end = inkSpan(plain).first + 2 * mark;
        const auto prefix = [&](const Ink& ink) {
            return Ink(ink.begin(), ink.begin() + end);
        };
        EXPECT_TRUE(test::waitUntil(
            [&] { return mismatch(prefix(marked), prefix(inkOf(grab(kTabCaptions))), 0) < kAlike; }, 30s))
            << "the reopened tab's caption does not begin with the mark";
    }
    EXPECT_EQ(smtp.messages().size(), 1u);
}

} // namespace
} // namespace pelimo
