#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace pelimo::test {

// A desktop program in a process group of its own (what it starts ends with it): started with extra
// environment entries and a working folder, its standard output kept in a pipe when asked; SIGTERM, then
// SIGKILL after a bounded wait, when it goes.
class DesktopProcess {
public:
    DesktopProcess() = default;
    ~DesktopProcess();
    DesktopProcess(const DesktopProcess&) = delete;
    DesktopProcess& operator=(const DesktopProcess&) = delete;

    bool start(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
               const std::string& folder = {}, bool pipeOutput = false);
    // A line of the standard output, waiting at most `bound`.
    std::optional<std::string> readLine(std::chrono::milliseconds bound);
    void signal(int number) const;
    // The exit status once the process has ended within `bound` (128 + n for signal n).
    std::optional<int> waitExit(std::chrono::milliseconds bound);
    bool running();
    void stop();
    pid_t pid() const { return id; }

private:
    pid_t id = -1;
    int output = -1;
    std::string pending;
};

// A process below another one: its id and its command name (as /proc gives it, at most 15
// characters).
struct ProcessEntry {
    pid_t pid = 0;
    std::string name;
};
// Every process below `root`, its children first.
std::vector<ProcessEntry> descendants(pid_t root);
// A process's resident memory (VmRSS) in kB, 0 when it has gone.
long residentKb(pid_t pid);

// Polls a condition every 50 ms until it holds or the bound passes.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds bound);

// An RGB picture of the screen or part of it.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;

    struct Pixel {
        int r, g, b;
    };
    Pixel at(int x, int y) const;
    // How many pixels lie within `tolerance` (sum of channel differences) of a colour.
    int count(Pixel colour, int tolerance) const;
};

// A real desktop on a virtual X display: Xvfb on a free display, the openbox window manager,
// an XEmbed system tray (trayer) unless told otherwise and, when asked, a private D-Bus session
// with the dunst notification service. Every part is waited for by a condition and ended with
// the session.
class DesktopSession {
public:
    DesktopSession() = default;
    ~DesktopSession();
    DesktopSession(const DesktopSession&) = delete;
    DesktopSession& operator=(const DesktopSession&) = delete;

    // Why a session cannot be had here (the X server is not installed), or empty.
    static std::string missingReason();

    bool start(bool notifications = false, bool withTray = true);
    std::string display() const { return ":" + std::to_string(displayNumber); }
    std::string busAddress() const { return bus; }
    // The environment a program of the session runs with.
    std::vector<std::string> environment() const;
    // That environment for the program itself, against the listing simulator at `listingBase`.
    std::vector<std::string> programEnvironment(const std::string& listingBase) const;

    // Runs a shell command on the session's display; its standard output, or nothing when it
    // failed (unless any exit status will do).
    std::optional<std::string> run(const std::string& command, bool anyStatus = false) const;
    // The window of a visible top-level window whose title holds `title`, or 0.
    unsigned long findWindow(const std::string& title) const;
    // How many windows of the class are on screen (a menu of the program adds one).
    size_t visibleWindows(const std::string& windowClass) const;
    // Clicks a mouse button at a place inside a window.
    bool click(unsigned long window, int x, int y, int button = 1) const;
    // The screen rectangle {x, y, w, h} of a window's inside.
    std::optional<std::vector<int>> geometry(unsigned long window) const;
    // The docked tray icon's window named `name` and its place on screen.
    std::optional<std::vector<int>> trayIcon(const std::string& name) const;
    Screenshot grab(int x, int y, int w, int h) const;

private:
    DesktopProcess xvfb;
    DesktopProcess windowManager;
    DesktopProcess tray;
    DesktopProcess notifications;
    int displayNumber = -1;
    std::string bus;
};

} // namespace pelimo::test
