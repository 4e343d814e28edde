// The real program on a real desktop (Xvfb, openbox, an XEmbed tray), driven with the mouse
// and keyboard as a person would, and judged by what is on the screen.
#include "platform/FileSystem.h"
#include "platform/text/SjisText.h"
#include "settings/SettingsStore.h"
#include "tests/desktop/DesktopSession.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/LoopbackListener.h"
#include "tests/support/MailSettings.h"
#include "tests/support/PictureServer.h"
#include "tests/support/PushReceiver.h"
#include "tests/support/SimulatorProcess.h"
#include "tests/support/SmtpSink.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestCertificates.h"
#include "watch/AramFile.h"
#include "watch/PriceCeilings.h"

#include <QBuffer>
#include <QImage>
#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

namespace pelimo {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using test::Screenshot;

// The tray images' main colours: 128 is dark blue, 150 red.
constexpr Screenshot::Pixel kNormalBlue{0x1a, 0x35, 0x73};
constexpr Screenshot::Pixel kAlarmRed{0xc6, 0x28, 0x28};

// Places inside the main window, in pixels from its top-left corner, as the window lays
// itself out in the fonts the test machine has.
struct Spot {
    int x, y;
};
constexpr Spot kAlertMode{133, 133};      // the command bar's "アラート"
constexpr Spot kSettingsButton{664, 138}; // the command bar's "環境設定"
constexpr Spot kUpdateButton{747, 397};   // the "更新" button under the watch list
constexpr Spot kFirstRow{60, 197};        // the watch list's first row
constexpr Spot kEmptyListSpace{60, 320};  // below the rows
constexpr int kHeaderY = 178;             // the watch list's column headers
constexpr int kPriceHeaderX = 330;        // left edge of the price column's header
// Places inside the settings dialog.
constexpr Spot kAlertTab{159, 24};        // the "アラート" tab
constexpr Spot kTestSendButton{397, 593}; // "テスト送信" on the alert page

// A listing's picture of one plain colour, which nothing else on the screen has.
std::string greenPicture()
{
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(QColor(0, 200, 0));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

// A listing of the simulator, pinned so that the program sees exactly these fields.
struct Pinned {
    std::string no;
    std::string remain; // UTF-8, as the simulator takes it
};

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const std::string reason = test::DesktopSession::missingReason(); !reason.empty())
            GTEST_SKIP() << "no desktop session: " << reason;
        ASSERT_TRUE(session.start(true)) << "the desktop session did not come up";
        ASSERT_TRUE(sim.start());
        ASSERT_FALSE(folder.empty());
        settings = defaultSettings();
        settings.alarmOnRemainingTime = 1;
        settings.remainingTimeMinutes = 5;
        settings.alarmChangesListColour = 1;
    }
    void TearDown() override { program.stop(); }

    // Pins the listings in the simulator and writes them as the program's watch list.
    void watch(const std::vector<Pinned>& listings)
    {
        std::vector<ItemInfo> records;
        for (const Pinned& p : listings) {
            ASSERT_TRUE(sim.control("/sim/put?ItemNo=" + p.no + "&ItemName=" + p.no +
                                    "&CurrentPrice=100&RemainTime=" + test::percentEncode(p.remain) +
                                    "&AuctionType=NO&BidNum=0&ItemNum=1&ImageUrl="));
            // The file holds what the last fetch saw, as the program writes it.
            records.push_back(
                ItemInfo{p.no, p.no, "100", "NO", "", "0", "1", platform::utf8ToSjis(p.remain)});
        }
        ASSERT_TRUE(saveAramFile(records, folder));
    }

    // Starts the program with the settings, waits for its window and its docked tray icon.
    void startProgram()
    {
        ASSERT_TRUE(saveSettingsTo(platform::joinPath(folder, "env.ini"), settings));
        std::vector<std::string> env = session.programEnvironment(sim.baseUrl());
        env.insert(env.end(), programEnvironment.begin(), programEnvironment.end());
        ASSERT_TRUE(program.start({PELIMO_PROGRAM_PATH}, env, folder));
        ASSERT_TRUE(
            test::waitUntil([this] { return (window = session.findWindow("Pelimo for zelvo")) != 0; }, 60s))
            << "the main window did not show";
        ASSERT_TRUE(test::waitUntil([this] { return session.trayIcon("pelimo").has_value(); }, 30s))
            << "the tray icon did not dock";
        ASSERT_NO_FATAL_FAILURE(findPlacedWindow());
        // The window is ready for input once its first frame shows the idle status text.
        ASSERT_TRUE(test::waitUntil([this] { return statusInkWidth() > 0; }, 30s));
    }

    // The main window once the window manager has placed it. The first item page shown makes
    // it anew (a surface the web engine can draw on), under another window id.
    void findPlacedWindow()
    {
        ASSERT_TRUE(test::waitUntil(
            [this] {
                window = session.findWindow("Pelimo for zelvo");
                const auto place = session.geometry(window);
                frame = place.value_or(std::vector<int>{});
                return place && (*place)[2] == 800 && (*place)[3] == 650;
            },
            60s))
            << "window " << window << " at " << (frame.empty() ? -1 : frame[0]);
    }

    void click(Spot at, int button = 1) { ASSERT_NO_FATAL_FAILURE(clickIn(window, at, button)); }
    void clickIn(unsigned long target, Spot at, int button = 1)
    {
        ASSERT_TRUE(session.click(target, at.x, at.y, button));
    }
    void key(const std::string& keys) { ASSERT_TRUE(session.run("xdotool key " + keys)); }

    // Where the status bar's text lies: the rightmost dark pixel in the left half of the bar
    // (0 without any) and the lowest dark row, in pixels up from the window's bottom.
    struct Ink {
        int right = 0;
        int lowFromBottom = 0;
    };
    Ink statusInk() const
    {
        constexpr int kBarHeight = 22;
        const Screenshot shot =
            session.grab(frame[0], frame[1] + frame[3] - kBarHeight, frame[2] / 2, kBarHeight);
        Ink ink;
        int bottom = -1;
        for (int py = 0; py < shot.height; ++py) {
            for (int px = 0; px < shot.width; ++px) {
                const Screenshot::Pixel p = shot.at(px, py);
                if (p.r + p.g + p.b < 200) {
                    ink.right = std::max(ink.right, px);
                    bottom = py;
                }
            }
        }
        ink.lowFromBottom = bottom < 0 ? 0 : kBarHeight - bottom;
        return ink;
    }
    int statusInkWidth() const { return statusInk().right; }

    // The tray icon's main colour: the normal image, the alarm image or neither.
    std::string trayImage() const
    {
        const auto icon = session.trayIcon("pelimo");
        if (!icon)
            return "gone";
        const Screenshot shot = session.grab((*icon)[0], (*icon)[1], (*icon)[2], (*icon)[3]);
        const int all = shot.width * shot.height;
        if (shot.count(kNormalBlue, 60) * 3 > all)
            return "normal";
        if (shot.count(kAlarmRed, 60) * 3 > all)
            return "alarm";
        return "neither";
    }

    size_t visibleWindows() const { return session.visibleWindows("pelimo"); }

    // A window of the program on screen that is none of the known ones (a message box, say),
    // or 0; the tray icon does not count.
    unsigned long otherWindow(const std::vector<unsigned long>& known) const
    {
        std::istringstream ids(session.run("xdotool search --onlyvisible --class pelimo", true).value_or(""));
        for (unsigned long id = 0; ids >> id;) {
            const auto place = session.geometry(id);
            if (std::find(known.begin(), known.end(), id) == known.end() && place && (*place)[2] > 48)
                return id;
        }
        return 0;
    }

    // How much of the watch list's first row, in percent, shows the alarm background colour.
    int firstRowInAlarmColour() const
    {
        const Screenshot row = session.grab(frame[0] + 4, frame[1] + kFirstRow.y - 3, 500, 6);
        const Screenshot::Pixel back{colourRed(settings.alarmBackColour),
                                     colourGreen(settings.alarmBackColour),
                                     colourBlue(settings.alarmBackColour)};
        return row.rgb.empty() ? 0 : row.count(back, 60) * 100 / (row.width * row.height);
    }

    // The pixels of greenPicture's colour in a band of the first row, across the window.
    int greenInFirstRow(int width = 880) const
    {
        const Screenshot row = session.grab(frame[0] + 4, frame[1] + kFirstRow.y, width, 16);
        return row.rgb.empty() ? 0 : row.count({0, 200, 0}, 30);
    }

    // How many times the simulator was asked for one listing.
    size_t itemRequests(const std::string& itemNo)
    {
        const std::string tail = "exhibit_id=" + itemNo;
        const std::vector<std::string> log = sim.requests();
        return static_cast<size_t>(
            std::count_if(log.begin(), log.end(), [&](const std::string& r) { return r.ends_with(tail); }));
    }

    bool hidden() const { return session.findWindow("Pelimo for zelvo") == 0; }

    void hideToTheTray()
    {
        ASSERT_TRUE(session.run("xdotool windowminimize " + std::to_string(window)));
        ASSERT_TRUE(test::waitUntil([this] { return hidden(); }, 30s)) << "the window did not hide";
    }

    // The program ended by itself within the bound, with exit status 0, and wrote env.ini.
    void expectEndedAndSaved()
    {
        const std::optional<int> status = program.waitExit(30s);
        ASSERT_TRUE(status.has_value()) << "the program is still running";
        EXPECT_EQ(*status, 0);
        EXPECT_TRUE(fs::exists(platform::joinPath(folder, "env.ini")));
        EnvSettings saved;
        loadSettingsFrom(platform::joinPath(folder, "env.ini"), saved);
        EXPECT_EQ(saved.remainingTimeMinutes, 5);
    }

    test::DesktopSession session;
    test::SimulatorProcess sim;
    test::TempFolder home{"pelimo-desktop"};
    const std::string folder = home.path();
    test::DesktopProcess program;
    EnvSettings settings;
    std::vector<std::string> programEnvironment; // added to the session's for the program
    unsigned long window = 0;
    std::vector<int> frame;
};

TEST_F(DesktopTest, TrayShowsTheNormalImageThenTheAlarmImageAfterAnAlarm)
{
    ASSERT_NO_FATAL_FAILURE(watch({{"d1", "3分"}}));
    ASSERT_NO_FATAL_FAILURE(startProgram());
    EXPECT_EQ(trayImage(), "normal");
    ASSERT_NO_FATAL_FAILURE(click(kAlertMode));
    ASSERT_NO_FATAL_FAILURE(click(kUpdateButton));
    EXPECT_TRUE(test::waitUntil([this] { return trayImage() == "alarm"; }, 60s)) << trayImage();
}

TEST_F(DesktopTest, QuitFromTheTrayMenuWhileHiddenEndsTheProgram)
{
    ASSERT_NO_FATAL_FAILURE(startProgram());
    fs::remove(platform::joinPath(folder, "env.ini"));
    ASSERT_NO_FATAL_FAILURE(hideToTheTray());
    const auto icon = session.trayIcon("pelimo");
    ASSERT_TRUE(icon.has_value());
    const size_t before = visibleWindows();
    // A click that comes while the tray still lays out the icon after the hide can be lost;
    // as a person would, the test clicks again when no menu comes.
    bool menuShown = false;
    for (int attempt = 0; attempt < 3 && !menuShown; ++attempt) {
        ASSERT_TRUE(session.run("xdotool mousemove " + std::to_string((*icon)[0] + 8) + " " +
                                std::to_string((*icon)[1] + 8) + " click 3"));
        menuShown = test::waitUntil([&] { return visibleWindows() > before; }, 10s);
    }
    ASSERT_TRUE(menuShown) << "no menu";
    // The menu: "開く", a separator, "終了する"; Up from no choice picks the last.
    ASSERT_NO_FATAL_FAILURE(key("Up Return"));
    expectEndedAndSaved();
}

TEST_F(DesktopTest, TerminationSignalWhileHiddenEndsTheProgram)
{
    ASSERT_NO_FATAL_FAILURE(startProgram());
    fs::remove(platform::joinPath(folder, "env.ini"));
    ASSERT_NO_FATAL_FAILURE(hideToTheTray());
    program.signal(SIGTERM);
    expectEndedAndSaved();
}

TEST_F(DesktopTest, ASecondStartOnTheFolderBringsTheWindowBackFromTheTrayAndEnds)
{
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_NO_FATAL_FAILURE(hideToTheTray());
    test::TempFolder logs{"pelimo-desktop-second"};
    const std::string said = logs.file("stderr.txt");
    test::ChildProcess second;
    ASSERT_TRUE(second.start({PELIMO_PROGRAM_PATH}, {.environment = session.programEnvironment(sim.baseUrl()),
                                                     .outputFile = said,
                                                     .workingFolder = folder}));
    EXPECT_EQ(second.wait(60s), 0);
    const std::string text = platform::readWholeFile(said, 1 << 16).value_or("");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    EXPECT_TRUE(test::waitUntil([this] { return !hidden(); }, 30s)) << "the window stayed in the tray";
    EXPECT_TRUE(program.running());
}

TEST_F(DesktopTest, AStartAfterTheRunningCopyWasKilledTakesTheFolderOver)
{
    ASSERT_NO_FATAL_FAILURE(startProgram());
    const pid_t first = program.pid();
    program.signal(SIGKILL);
    ASSERT_TRUE(program.waitExit(30s).has_value());
    ::kill(-first, SIGKILL); // its web engine's processes
    // Were the folder still locked, this start would wait for an answer and end without a window.
    ASSERT_NO_FATAL_FAILURE(startProgram());
    EXPECT_TRUE(program.running());
}

TEST_F(DesktopTest, TerminationSignalBehindAModalDialogEndsTheProgram)
{
    ASSERT_NO_FATAL_FAILURE(startProgram());
    fs::remove(platform::joinPath(folder, "env.ini"));
    ASSERT_NO_FATAL_FAILURE(click(kSettingsButton));
    ASSERT_TRUE(test::waitUntil([this] { return session.findWindow("環境設定") != 0; }, 30s))
        << "the settings dialog did not show";
    program.signal(SIGTERM);
    expectEndedAndSaved();
}

TEST_F(DesktopTest, MailStatusTextsShowWhileTheServerWaits)
{
    // A mail server that holds every step until the test lets it go, so that the program's
    // status text can be looked at while it waits.
    test::LoopbackListener smtp;
    ASSERT_GT(smtp.port(), 0);
    settings.alarmMail = 1;
    settings.smtpHost = "127.0.0.1";
    settings.smtpPort = smtp.port();
    settings.mailFrom = "watch@example.test";
    settings.mailTo = "someone.with.a.long.address@example.test";
    ASSERT_NO_FATAL_FAILURE(watch({{"m1", "3分"}}));
    ASSERT_NO_FATAL_FAILURE(startProgram());
    const int idle = statusInkWidth();
    ASSERT_NO_FATAL_FAILURE(click(kAlertMode));
    // The listing's page opens in an alert tab: a web view on screen, as a person watching
    // a listing would have it.
    ASSERT_TRUE(session.run("xdotool mousemove --window " + std::to_string(window) + " " +
                            std::to_string(kFirstRow.x) + " " + std::to_string(kFirstRow.y) +
                            " click --repeat 2 --delay 120 1"));
    ASSERT_TRUE(test::waitUntil(
        [this] {
            const Screenshot page = session.grab(frame[0] + 400, frame[1] + 560, 1, 1);
            return !page.rgb.empty() && page.at(0, 0).r + page.at(0, 0).g + page.at(0, 0).b >= 750;
        },
        20s))
        << "the listing's page did not open";
    ASSERT_NO_FATAL_FAILURE(findPlacedWindow());
    ASSERT_NO_FATAL_FAILURE(click(kUpdateButton));

    // The greeting is withheld: "CONNECT TO SMTP" is on screen meanwhile.
    const std::unique_ptr<test::LoopbackPeer> smtpPeer = smtp.accept(20s);
    ASSERT_TRUE(smtpPeer);
    int connecting = 0;
    EXPECT_TRUE(test::waitUntil([&] { return (connecting = statusInkWidth()) > idle + 40; }, 15s))
        << "idle " << idle << ", while connecting " << connecting;
    smtpPeer->send("220 held\r\n");
    ASSERT_EQ(smtpPeer->readLine(10s).value_or("").rfind("HELO ", 0), 0u);
    smtpPeer->send("250 hello\r\n");

    // The answer to MAIL is withheld: "SEND TO <address>", longer still, is on screen.
    ASSERT_EQ(smtpPeer->readLine(10s).value_or("").rfind("MAIL FROM:", 0), 0u);
    int sending = 0;
    EXPECT_TRUE(test::waitUntil([&] { return (sending = statusInkWidth()) > connecting + 40; }, 15s))
        << "while connecting " << connecting << ", while sending " << sending;
}

TEST_F(DesktopTest, TheWebEngineStartsWithTheFirstItemPage)
{
    // Its helper processes (and the memory they hold) are there only once a page is shown.
    auto webEngineProcesses = [this] {
        size_t n = 0;
        for (const test::ProcessEntry& p : test::descendants(program.pid()))
            n += p.name.rfind("QtWebEngine", 0) == 0 ? 1 : 0;
        return n;
    };
    ASSERT_NO_FATAL_FAILURE(watch({{"m1", "3日"}}));
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_NO_FATAL_FAILURE(click(kAlertMode));
    EXPECT_EQ(webEngineProcesses(), 0u);
    ASSERT_TRUE(session.run("xdotool mousemove --window " + std::to_string(window) + " " +
                            std::to_string(kFirstRow.x) + " " + std::to_string(kFirstRow.y) +
                            " click --repeat 2 --delay 120 1"));
    // The page shows in its alert tab, the white of the page where the pane's grey was.
    ASSERT_TRUE(test::waitUntil(
        [this] {
            const Screenshot page = session.grab(frame[0] + 400, frame[1] + 560, 1, 1);
            return !page.rgb.empty() && page.at(0, 0).r + page.at(0, 0).g + page.at(0, 0).b >= 750;
        },
        30s))
        << "the listing's page did not open";
    EXPECT_GT(webEngineProcesses(), 0u);
}

TEST_F(DesktopTest, Pop3ReplyShowsOnOneLine)
{
    test::LoopbackListener pop3;
    ASSERT_GT(pop3.port(), 0);
    settings.alarmMail = 1;
    settings.popBeforeSmtp = 1;
    settings.pop3Host = "127.0.0.1";
    settings.pop3Port = pop3.port();
    settings.pop3User = "tester";
    settings.smtpHost = "127.0.0.1";
    ASSERT_NO_FATAL_FAILURE(watch({{"p1", "3分"}}));
    ASSERT_NO_FATAL_FAILURE(startProgram());
    const Ink idle = statusInk();
    ASSERT_NO_FATAL_FAILURE(click(kAlertMode));
    ASSERT_NO_FATAL_FAILURE(click(kUpdateButton));

    const std::unique_ptr<test::LoopbackPeer> pop3Peer = pop3.accept(20s);
    ASSERT_TRUE(pop3Peer);
    pop3Peer->send("+OK ready for a login\r\n");
    // The greeting is shown before the user command goes out, whose answer is withheld.
    ASSERT_EQ(pop3Peer->readLine(10s).value_or("").rfind("user ", 0), 0u);
    Ink shown;
    EXPECT_TRUE(test::waitUntil([&] { return (shown = statusInk()).right > idle.right + 40; }, 15s))
        << "the reply is not on screen";
    // On the line of the idle text (its descenders reach lower), not half a line up as the
    // first of two lines would be.
    EXPECT_LE(shown.lowFromBottom, idle.lowFromBottom + 1)
        << "idle text down to " << idle.lowFromBottom << ", reply down to " << shown.lowFromBottom;
}

TEST_F(DesktopTest, DamagedWatchListFileIsAnnouncedInTheStatusBar)
{
    std::ofstream(platform::joinPath(folder, "AramList.xml")) << "<root><ItemInfo>";
    ASSERT_NO_FATAL_FAILURE(startProgram());
    // The notice names the file it was moved to, far longer than the idle text.
    EXPECT_GT(statusInkWidth(), 200);
}

TEST_F(DesktopTest, RemoveWithoutASelectedRowKeepsTheWatchList)
{
    ASSERT_NO_FATAL_FAILURE(watch({{"k1", "2日"}, {"k2", "2日"}}));
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_NO_FATAL_FAILURE(click(kAlertMode));
    ASSERT_NO_FATAL_FAILURE(click(kFirstRow));
    ASSERT_NO_FATAL_FAILURE(click(kEmptyListSpace));
    const size_t before = visibleWindows();
    ASSERT_NO_FATAL_FAILURE(click(kEmptyListSpace, 3));
    // The context menu's one command.
    ASSERT_TRUE(test::waitUntil([&] { return visibleWindows() > before; }, 30s)) << "no menu";
    ASSERT_NO_FATAL_FAILURE(key("Down Return"));
    program.signal(SIGTERM);
    ASSERT_TRUE(program.waitExit(30s).has_value());
    EXPECT_EQ(loadAramFile(folder).records.size(), 2u);
}

TEST_F(DesktopTest, WatchListHeaderTrianglesPointTheSortDirection)
{
    ASSERT_NO_FATAL_FAILURE(watch({{"h1", "2日"}, {"h2", "3日"}}));
    // The columns as the user left them last time: the price header where this test looks.
    std::ofstream(platform::joinPath(folder, "WindowLayout.ini")) << "watchColumns=80,250,80,80,80,80,100\n";
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_NO_FATAL_FAILURE(click(kAlertMode));
    // Which way the triangle at the left of the price header points: a down triangle is
    // widest at its top.
    const auto triangle = [this] {
        // Inside the section's borders: the image sits at its left, vertically centred.
        const Screenshot shot = session.grab(frame[0] + kPriceHeaderX + 2, frame[1] + kHeaderY - 10, 24, 18);
        int first = -1;
        int last = -1;
        for (int y = 0; y < shot.height; ++y) {
            int lo = -1;
            int hi = -1;
            for (int x = 0; x < shot.width; ++x) {
                const Screenshot::Pixel p = shot.at(x, y);
                if (p.r + p.g + p.b < 600) {
                    lo = lo < 0 ? x : lo;
                    hi = x;
                }
            }
            if (lo >= 0) {
                first = first < 0 ? hi - lo : first;
                last = hi - lo;
            }
        }
        return first < 0 ? std::string("none") : first > last ? std::string("down") : std::string("up");
    };
    ASSERT_NO_FATAL_FAILURE(click({kPriceHeaderX + 30, kHeaderY}));
    EXPECT_TRUE(test::waitUntil([&] { return triangle() == "down"; }, 15s)) << "descending: " << triangle();
    // Far enough from the first click that the two are never taken for a double-click, which
    // the header would not count as a second click.
    ASSERT_NO_FATAL_FAILURE(click({kPriceHeaderX + 55, kHeaderY}));
    EXPECT_TRUE(test::waitUntil([&] { return triangle() == "up"; }, 15s)) << "ascending: " << triangle();
}

TEST_F(DesktopTest, SettingsDialogIsNarrowerThanTheMainWindow)
{
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_NO_FATAL_FAILURE(click(kSettingsButton));
    unsigned long dialog = 0;
    ASSERT_TRUE(test::waitUntil([&] { return (dialog = session.findWindow("環境設定")) != 0; }, 30s))
        << "the settings dialog did not show";
    const auto size = session.geometry(dialog);
    ASSERT_TRUE(size.has_value());
    // About 480 px wide in the test machine's fonts; measured by the full-width glyphs it was
    // 819 px, wider than the main window.
    EXPECT_LT((*size)[2], 800);
}

TEST_F(DesktopTest, PriceCeilingFromTheMenuAlarmsOnceWhenThePriceIsAbove)
{
    // Plain mail to a real server tells each cycle's alarms apart.
    test::SmtpSink mail;
    ASSERT_EQ(mail.startError(), "");
    settings.alarmMail = 1;
    test::mailThrough(settings, mail.port());
    // The simulator's price is 100 yen; neither listing is near its end yet.
    ASSERT_NO_FATAL_FAILURE(watch({{"ceiling1", "2日"}, {"nearend2", "2日"}}));
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_NO_FATAL_FAILURE(click(kAlertMode));

    const size_t before = visibleWindows();
    ASSERT_NO_FATAL_FAILURE(click(kFirstRow, 3));
    ASSERT_TRUE(test::waitUntil([&] { return visibleWindows() > before; }, 30s)) << "no menu";
    // "上限価格を設定...", the menu's last command.
    ASSERT_NO_FATAL_FAILURE(key("Up Return"));
    unsigned long dialog = 0;
    ASSERT_TRUE(test::waitUntil([&] { return (dialog = session.findWindow("上限価格の設定")) != 0; }, 30s))
        << "the ceiling dialog did not show";
    ASSERT_TRUE(session.run("xdotool windowactivate --sync " + std::to_string(dialog) + " type 50"));
    ASSERT_NO_FATAL_FAILURE(key("Return"));
    ASSERT_TRUE(test::waitUntil(
        [this] {
            return loadPriceCeilings(folder).rules == std::vector<PriceRule>{{"ceiling1", 50}};
        },
        30s))
        << "AramRules.xml does not hold the ceiling";

    // No selection over the row's colours.
    ASSERT_NO_FATAL_FAILURE(click(kEmptyListSpace));
    EXPECT_LT(firstRowInAlarmColour(), 5);
    ASSERT_NO_FATAL_FAILURE(click(kUpdateButton));
    EXPECT_TRUE(test::waitUntil([this] { return firstRowInAlarmColour() > 50; }, 30s))
        << firstRowInAlarmColour() << "% of the row in the alarm colour";
    ASSERT_TRUE(test::waitUntil([&] { return mail.messages().size() == 1; }, 30s)) << "no alert mail";
    const std::string crossed = platform::utf8ToSjis("上限価格 50円 を超えました");
    EXPECT_NE(mail.messages()[0].find("ceiling1"), std::string::npos);
    EXPECT_NE(mail.messages()[0].find(crossed), std::string::npos);

    // At the same price the ceiling raises nothing new; the other listing's alarm of the second
    // cycle is mailed alone.
    ASSERT_TRUE(sim.control("/sim/put?ItemNo=nearend2&ItemName=nearend2&CurrentPrice=100&RemainTime=" +
                            test::percentEncode("3分") + "&AuctionType=NO&BidNum=0&ItemNum=1&ImageUrl="));
    ASSERT_NO_FATAL_FAILURE(click(kUpdateButton));
    ASSERT_TRUE(test::waitUntil([&] { return mail.messages().size() == 2; }, 30s)) << "no second mail";
    EXPECT_NE(mail.messages()[1].find("nearend2"), std::string::npos) << mail.messages()[1];
    EXPECT_EQ(mail.messages()[1].find("ceiling1"), std::string::npos);
    EXPECT_EQ(mail.messages()[1].find(crossed), std::string::npos);
}

TEST_F(DesktopTest, TestSendOnTheAlertPageMailsAndPushesAndSaysSoInTwoBoxes)
{
    const test::TestCertificates certificates;
    ASSERT_EQ(certificates.startError(), "");
    test::SmtpSink mail(certificates.submissionArguments("starttls"));
    ASSERT_EQ(mail.startError(), "");
    test::PushReceiver receiver;
    programEnvironment.push_back("SSL_CERT_FILE=" + certificates.caFile());
    // The fields as a person would have filled them in earlier, unsaved mail switch and all.
    test::mailThrough(settings, mail.port());
    settings.ext.mailEncryption = 1;
    settings.ext.smtpUser = "tester";
    settings.ext.smtpPassword = "s3cret";
    settings.ext.pushEnabled = 1;
    settings.ext.pushUrl = receiver.url();
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_NO_FATAL_FAILURE(click(kSettingsButton));
    unsigned long dialog = 0;
    ASSERT_TRUE(test::waitUntil([&] { return (dialog = session.findWindow("環境設定")) != 0; }, 30s))
        << "the settings dialog did not show";
    ASSERT_NO_FATAL_FAILURE(clickIn(dialog, kAlertTab));
    ASSERT_NO_FATAL_FAILURE(clickIn(dialog, kTestSendButton));

    // The mail's box comes once the mail is delivered, before the push goes.
    unsigned long first = 0;
    ASSERT_TRUE(test::waitUntil(
        [&] {
            return (first = otherWindow({window, dialog})) != 0;
        },
        60s))
        << "no first box";
    ASSERT_EQ(mail.mails().size(), 1u);
    EXPECT_NE(mail.mails()[0].find("RCPT TO:<user@example.test>"), std::string::npos);
    EXPECT_TRUE(receiver.requests().empty());
    const auto firstPlace = session.geometry(first);
    ASSERT_TRUE(session.run("xdotool windowactivate --sync " + std::to_string(first) + " key Return"));

    unsigned long second = 0;
    ASSERT_TRUE(test::waitUntil(
        [&] {
            return (second = otherWindow({window, dialog, first})) != 0;
        },
        60s))
        << "no second box";
    const std::vector<std::string> pushes = receiver.requests();
    ASSERT_EQ(pushes.size(), 1u);
    EXPECT_TRUE(pushes[0].starts_with("POST /alerts ")) << pushes[0];
    EXPECT_TRUE(pushes[0].ends_with(
        "\r\n\r\nアラート通知のテスト送信です。これが届いていれば、通知の設定は正しく動いています。"))
        << pushes[0];
    // Both boxes say that it was sent, in one line of the same length; a failure's box has a
    // second line with the reason.
    const auto secondPlace = session.geometry(second);
    ASSERT_TRUE(firstPlace && secondPlace);
    EXPECT_EQ((*firstPlace)[2], (*secondPlace)[2]);
    EXPECT_EQ((*firstPlace)[3], (*secondPlace)[3]);
    ASSERT_TRUE(session.run("xdotool windowactivate --sync " + std::to_string(second) + " key Return"));
    EXPECT_TRUE(test::waitUntil([&] { return otherWindow({window, dialog}) == 0; }, 30s)) << "a box stayed";
}

TEST_F(DesktopTest, ListingNearItsEndIsFetchedBetweenRegularCyclesAndAlarms)
{
    // A regular cycle an hour away; a fast tick every 30 s for listings with 30 minutes or less.
    settings.watchIntervalMinutes = 60;
    settings.ext.nearEndFaster = 1;
    settings.ext.nearEndIntervalSeconds = 30;
    ASSERT_NO_FATAL_FAILURE(watch({{"fast1", "8分"}}));
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_NO_FATAL_FAILURE(click(kAlertMode));
    EXPECT_EQ(trayImage(), "normal");

    // The file's remaining time is enough: the first fast tick fetches it without a regular
    // cycle, and by the next it is under the alarm's 5 minutes.
    size_t fetched = 0;
    ASSERT_TRUE(test::waitUntil([&] { return (fetched = itemRequests("fast1")) >= 1; }, 60s))
        << "no fast tick";
    ASSERT_TRUE(sim.control("/sim/put?ItemNo=fast1&ItemName=fast1&CurrentPrice=100&RemainTime=" +
                            test::percentEncode("4分") + "&AuctionType=NO&BidNum=0&ItemNum=1&ImageUrl="));
    ASSERT_TRUE(test::waitUntil([&] { return itemRequests("fast1") > fetched; }, 60s))
        << "no second fast tick";
    EXPECT_TRUE(test::waitUntil([this] { return trayImage() == "alarm"; }, 30s)) << trayImage();
}

// The requests of a keyword search, in the order the simulator saw them.
std::vector<std::string> searchRequests(test::SimulatorProcess& sim, const std::string& keyword)
{
    std::vector<std::string> found;
    for (const std::string& r : sim.requests()) {
        if (r.find("keyword=" + keyword + "&") != std::string::npos)
            found.push_back(r);
    }
    return found;
}

TEST_F(DesktopTest, KeyboardAloneSearchesWithAPriceAsTypedAndOpensARow)
{
    for (const char* no : {"k1", "k2", "k3"}) {
        ASSERT_TRUE(sim.control(std::string("/sim/put?ItemNo=") + no + "&ItemName=zkey%20" + no +
                                "&CurrentPrice=1000&RemainTime=" + test::percentEncode("3日") +
                                "&AuctionType=NO&BidNum=0&ItemNum=1&ImageUrl="));
    }
    ASSERT_NO_FATAL_FAILURE(startProgram());
    // Ctrl+F from wherever the focus is, the keyword typed over; Tab on to the price range's
    // upper bound (thirteen controls further on), "3,000" as people write it, Enter.
    ASSERT_NO_FATAL_FAILURE(key("ctrl+f"));
    ASSERT_TRUE(session.run("xdotool type --delay 40 zkey"));
    ASSERT_NO_FATAL_FAILURE(key("Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab"));
    ASSERT_TRUE(session.run("xdotool type --delay 40 3,000"));
    ASSERT_NO_FATAL_FAILURE(key("Return"));
    ASSERT_TRUE(test::waitUntil([&] { return !searchRequests(sim, "zkey").empty(); }, 30s)) << "no search";
    EXPECT_NE(searchRequests(sim, "zkey").front().find("&chigh=3000"), std::string::npos)
        << searchRequests(sim, "zkey").front();

    // Tab past the bar's last control reaches the result list; Shift+Down twice marks three
    // rows, the menu key's first item adds all three to the watch list.
    ASSERT_NO_FATAL_FAILURE(key("Tab Tab"));
    ASSERT_NO_FATAL_FAILURE(key("shift+Down shift+Down"));
    const size_t before = visibleWindows();
    ASSERT_NO_FATAL_FAILURE(key("Menu"));
    ASSERT_TRUE(test::waitUntil([&] { return visibleWindows() > before; }, 30s)) << "no menu";
    ASSERT_NO_FATAL_FAILURE(key("Down Return"));
    EXPECT_TRUE(test::waitUntil([&] { return loadAramFile(folder).records.size() == 3; }, 30s))
        << loadAramFile(folder).records.size() << " watched";

    // Enter on the row opens its page in the pane below, as a double-click does.
    ASSERT_NO_FATAL_FAILURE(key("Return"));
    EXPECT_TRUE(test::waitUntil(
        [this] {
            const Screenshot page = session.grab(frame[0] + 400, frame[1] + 560, 1, 1);
            return !page.rgb.empty() && page.at(0, 0).r + page.at(0, 0).g + page.at(0, 0).b >= 750;
        },
        30s))
        << "the listing's page did not open";
}

TEST_F(DesktopTest, AFailedSearchSaysSoAndTheSameSearchAgainRetriesItsPage)
{
    ASSERT_NO_FATAL_FAILURE(startProgram());
    const int idle = statusInkWidth();
    ASSERT_TRUE(sim.control("/sim/fault?mode=html&count=1"));
    ASSERT_NO_FATAL_FAILURE(key("ctrl+f"));
    ASSERT_TRUE(session.run("xdotool type --delay 40 zfail"));
    ASSERT_NO_FATAL_FAILURE(key("Return"));
    // The status bar tells the failure, far longer than the idle text.
    int told = 0;
    EXPECT_TRUE(test::waitUntil([&] { return (told = statusInkWidth()) > idle + 100; }, 30s))
        << "idle " << idle << ", after the failure " << told;
    ASSERT_EQ(searchRequests(sim, "zfail").size(), 1u);

    // Enter again: the same tab asks for the failed page again, and no second tab opens.
    ASSERT_NO_FATAL_FAILURE(key("Return"));
    ASSERT_TRUE(test::waitUntil([&] { return searchRequests(sim, "zfail").size() == 2; }, 30s));
    EXPECT_NE(searchRequests(sim, "zfail").back().find("&page=1"), std::string::npos);
}

TEST_F(DesktopTest, ARestartFindsTheWindowAsItWasLeft)
{
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_TRUE(session.run("xdotool windowsize " + std::to_string(window) + " 900 700"));
    ASSERT_TRUE(test::waitUntil(
        [this] {
            const auto place = session.geometry(window);
            return place && (*place)[2] == 900 && (*place)[3] == 700;
        },
        30s));
    ASSERT_NO_FATAL_FAILURE(click(kAlertMode));
    program.signal(SIGTERM);
    ASSERT_TRUE(program.waitExit(30s).has_value());

    ASSERT_TRUE(program.start({PELIMO_PROGRAM_PATH}, session.programEnvironment(sim.baseUrl()), folder));
    std::optional<std::vector<int>> place;
    EXPECT_TRUE(test::waitUntil(
        [&] {
            window = session.findWindow("Pelimo for zelvo");
            place = session.geometry(window);
            return window != 0 && place && (*place)[2] == 900 && (*place)[3] == 700;
        },
        60s))
        << "the window came back at " << (place ? (*place)[2] : -1) << "x" << (place ? (*place)[3] : -1);
}

} // namespace
// A watched listing's picture shows in its row once a cycle reported where it lies, fetched
// once from that address, with the lists' picture setting at its default.
TEST_F(DesktopTest, WatchedListingsShowTheirPicturesInTheirRows)
{
    test::PictureServer pictures;
    ASSERT_TRUE(pictures.running());
    pictures.setBody([](const std::string&) { return greenPicture(); });
    ASSERT_NO_FATAL_FAILURE(watch({{"pic1", "2日"}}));
    ASSERT_TRUE(sim.control(
        "/sim/put?ItemNo=pic1&ItemName=pic1&CurrentPrice=100&RemainTime=" + test::percentEncode("2日") +
        "&AuctionType=NO&BidNum=0&ItemNum=1&ImageUrl=" + test::percentEncode(pictures.url("pic1"))));
    programEnvironment.push_back("XDG_CACHE_HOME=" + folder + "/cache");
    ASSERT_NO_FATAL_FAILURE(startProgram());
    ASSERT_NO_FATAL_FAILURE(click(kAlertMode));
    EXPECT_EQ(greenInFirstRow(), 0) << "the file knew no picture";
    ASSERT_NO_FATAL_FAILURE(click(kUpdateButton));
    // The picture column comes after the listing's own columns: the window is made wide
    // enough to show it whole, as a person would.
    constexpr int kWide = 1240;
    ASSERT_TRUE(session.run("xdotool windowmove --sync " + std::to_string(window) + " 0 " +
                            std::to_string(frame[1]) + " windowsize --sync " + std::to_string(window) + " " +
                            std::to_string(kWide) + " " + std::to_string(frame[3])));
    frame = session.geometry(window).value_or(frame);
    EXPECT_TRUE(test::waitUntil([this] { return greenInFirstRow(kWide - 8) > 100; }, 30s))
        << greenInFirstRow(kWide - 8) << " pixels of the picture in the first row";
    EXPECT_EQ(pictures.requests(), std::vector<std::string>{"pic1"});
}

} // namespace pelimo
