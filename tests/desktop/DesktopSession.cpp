#include "tests/desktop/DesktopSession.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace pelimo::test {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

DesktopProcess::~DesktopProcess()
{
    stop();
}

bool DesktopProcess::start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                           const std::string& folder, bool pipeOutput)
{
    int fds[2] = {-1, -1};
    if (pipeOutput && ::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    id = ::fork();
    if (id == 0) {
        // A group of its own, so that what it starts ends with it.
        ::setpgid(0, 0);
        if (!folder.empty() && ::chdir(folder.c_str()) != 0)
            ::_exit(126);
        for (const std::string& entry : env) {
            const size_t eq = entry.find('=');
            if (eq == std::string::npos)
                ::unsetenv(entry.c_str());
            else
                ::setenv(entry.substr(0, eq).c_str(), entry.substr(eq + 1).c_str(), 1);
        }
        if (pipeOutput)
            ::dup2(fds[1], STDOUT_FILENO);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    if (pipeOutput) {
        ::close(fds[1]);
        output = fds[0];
    }
    return id > 0;
}

std::optional<std::string> DesktopProcess::readLine(std::chrono::milliseconds bound)
{
    const auto until = Clock::now() + bound;
    while (output >= 0) {
        const size_t end = pending.find('\n');
        if (end != std::string::npos) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
        if (left <= 0ms)
            break;
        pollfd p{output, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            break;
        char buffer[512];
        const ssize_t n = ::read(output, buffer, sizeof buffer);
        if (n <= 0)
            break;
        pending.append(buffer, static_cast<size_t>(n));
    }
    return std::nullopt;
}

void DesktopProcess::signal(int number) const
{
    if (id > 0)
        ::kill(id, number);
}

std::optional<int> DesktopProcess::waitExit(std::chrono::milliseconds bound)
{
    if (id <= 0)
        return std::nullopt;
    const auto until = Clock::now() + bound;
    do {
        int status = 0;
        if (::waitpid(id, &status, WNOHANG) == id) {
            id = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(20ms);
    } while (Clock::now() < until);
    return std::nullopt;
}

bool DesktopProcess::running()
{
    return id > 0 && ::waitpid(id, nullptr, WNOHANG) == 0;
}

void DesktopProcess::stop()
{
    if (id > 0) {
        const pid_t group = id;
        ::kill(-group, SIGTERM);
        if (!waitExit(5s)) {
            ::kill(-group, SIGKILL);
            waitExit(5s);
        }
        // Anything the process left behind in its group.
        ::kill(-group, SIGKILL);
    }
    if (output >= 0) {
        ::close(output);
        output = -1;
    }
}

std::vector<ProcessEntry> descendants(pid_t root)
{
    // Every process's parent and name, from /proc/<pid>/stat: "pid (name) state ppid ...".
    std::vector<std::pair<ProcessEntry, pid_t>> all;
    if (DIR* proc = ::opendir("/proc")) {
        while (const dirent* entry = ::readdir(proc)) {
            const pid_t pid = std::atoi(entry->d_name);
            if (pid <= 0)
                continue;
            std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
            std::string line;
            const size_t open = std::getline(stat, line) ? line.find('(') : std::string::npos;
            const size_t close = line.rfind(')');
            if (open == std::string::npos || close == std::string::npos || close < open)
                continue;
            std::istringstream rest(line.substr(close + 1));
            char state = 0;
            pid_t parent = 0;
            rest >> state >> parent;
            all.push_back({ProcessEntry{pid, line.substr(open + 1, close - open - 1)}, parent});
        }
        ::closedir(proc);
    }
    std::vector<ProcessEntry> found;
    std::vector<pid_t> parents{root};
    for (size_t i = 0; i < parents.size(); ++i) {
        for (const auto& [entry, parent] : all) {
            if (parent == parents[i]) {
                found.push_back(entry);
                parents.push_back(entry.pid);
            }
        }
    }
    return found;
}

long residentKb(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    }
    return 0;
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds bound)
{
    const auto until = Clock::now() + bound;
    while (!condition()) {
        if (Clock::now() >= until)
            return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

Screenshot::Pixel Screenshot::at(int x, int y) const
{
    const size_t i = (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
}

int Screenshot::count(Pixel colour, int tolerance) const
{
    int n = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Pixel p = at(x, y);
            n += std::abs(p.r - colour.r) + std::abs(p.g - colour.g) + std::abs(p.b - colour.b) <= tolerance;
        }
    }
    return n;
}

DesktopSession::~DesktopSession()
{
    notifications.stop();
    tray.stop();
    windowManager.stop();
    xvfb.stop();
}

std::string DesktopSession::missingReason()
{
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        if (::access((dir + "/Xvfb").c_str(), X_OK) == 0)
            return {};
    }
    return "Xvfb is not installed (Debian package xvfb; scripts/install-deps.sh installs it)";
}

bool DesktopSession::start(bool withNotifications, bool withTray)
{
    // The server picks a free display and names it once it accepts connections.
    if (!xvfb.start({"Xvfb", "-displayfd", "1", "-screen", "0", "1280x900x24", "-nolisten", "tcp"}, {}, {},
                    true))
        return false;
    const std::optional<std::string> number = xvfb.readLine(20s);
    if (!number || number->empty())
        return false;
    displayNumber = std::atoi(number->c_str());

    if (!windowManager.start({"openbox", "--sm-disable"}, environment()) ||
        !waitUntil(
            [this] {
                return run("xprop -root _NET_SUPPORTING_WM_CHECK").value_or("").find("window id") !=
                       std::string::npos;
            },
            20s))
        return false;

    if (withTray &&
        (!tray.start({"trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height",
                      "24", "--SetDockType", "true", "--transparent", "false", "--tint", "0xffffff"},
                     environment()) ||
         !waitUntil(
             [this] {
                 return run("xwininfo -root -tree").value_or("").find("\"panel\"") != std::string::npos;
             },
             20s)))
        return false;

    if (withNotifications) {
        if (!notifications.start({"dbus-run-session", "--", "sh", "-c",
                                  "echo \"$DBUS_SESSION_BUS_ADDRESS\"; exec dunst >/dev/null 2>&1"},
                                 environment(), {}, true))
            return false;
        bus = notifications.readLine(20s).value_or("");
        if (bus.empty() ||
            !waitUntil(
                [this] {
                    return run("dbus-send --session --print-reply --dest=org.freedesktop.DBus "
                               "/org/freedesktop/DBus "
                               "org.freedesktop.DBus.NameHasOwner string:org.freedesktop.Notifications")
                               .value_or("")
                               .find("true") != std::string::npos;
                },
                20s))
            return false;
    }
    return true;
}

std::vector<std::string> DesktopSession::environment() const
{
    std::vector<std::string> env{"DISPLAY=" + display(), "QT_QPA_PLATFORM=xcb"};
    // Without a bus of the session's own, none: the user's would lead the program elsewhere.
    env.push_back(bus.empty() ? std::string("DBUS_SESSION_BUS_ADDRESS") : "DBUS_SESSION_BUS_ADDRESS=" + bus);
    return env;
}

std::vector<std::string> DesktopSession::programEnvironment(const std::string& listingBase) const
{
    std::vector<std::string> env = environment();
    env.insert(env.end(),
               {"PELIMO_LISTING_BASE=" + listingBase, "PELIMO_ITEMPAGE_BASE=" + listingBase,
                "QTWEBENGINE_DISABLE_SANDBOX=1", "QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox --disable-gpu"});
#ifdef PELIMO_PROGRAM_LEAK_CHECK_OFF
    const char* asan = std::getenv("ASAN_OPTIONS");
    env.push_back(std::string("ASAN_OPTIONS=") + (asan != nullptr ? asan : "") + ":detect_leaks=0");
#endif
    return env;
}

std::optional<std::string> DesktopSession::run(const std::string& command, bool anyStatus) const
{
    std::string line = "DISPLAY=" + display();
    if (!bus.empty())
        line += " DBUS_SESSION_BUS_ADDRESS='" + bus + "'";
    // Every tool gets a bound of its own, so that a stuck one fails the test instead of
    // holding it.
    line += " timeout 20 " + command + " 2>/dev/null";
    FILE* pipe = ::popen(line.c_str(), "r");
    if (pipe == nullptr)
        return std::nullopt;
    std::string out;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    const int status = ::pclose(pipe);
    if (status != 0 && !anyStatus)
        return std::nullopt;
    return out;
}

unsigned long DesktopSession::findWindow(const std::string& title) const
{
    // A window that goes while the search walks the tree fails the search with the others
    // already printed.
    const std::optional<std::string> out = run("xdotool search --onlyvisible --name '" + title + "'", true);
    return out ? std::strtoul(out->c_str(), nullptr, 10) : 0;
}

size_t DesktopSession::visibleWindows(const std::string& windowClass) const
{
    const std::string out = run("xdotool search --onlyvisible --class " + windowClass, true).value_or("");
    return static_cast<size_t>(std::count(out.begin(), out.end(), '\n'));
}

bool DesktopSession::click(unsigned long window, int x, int y, int button) const
{
    return run("xdotool mousemove --window " + std::to_string(window) + " " + std::to_string(x) + " " +
               std::to_string(y) + " click " + std::to_string(button))
        .has_value();
}

std::optional<std::vector<int>> DesktopSession::geometry(unsigned long window) const
{
    // xwininfo, not xdotool: under a reparenting window manager the latter counts the frame's
    // offset twice.
    const std::optional<std::string> out = run("xwininfo -id " + std::to_string(window));
    if (!out)
        return std::nullopt;
    std::vector<int> r(4, -1);
    std::istringstream lines(*out);
    for (std::string l; std::getline(lines, l);) {
        const char* names[] = {"Absolute upper-left X:", "Absolute upper-left Y:", "Width:", "Height:"};
        for (size_t i = 0; i < 4; ++i) {
            const size_t at = l.find(names[i]);
            if (at != std::string::npos)
                r[i] = std::atoi(l.c_str() + at + std::strlen(names[i]));
        }
    }
    if (std::find(r.begin(), r.end(), -1) != r.end())
        return std::nullopt;
    return r;
}

std::optional<std::vector<int>> DesktopSession::trayIcon(const std::string& name) const
{
    // A line of the tree reads: 0x1c00007 "name": ("name" "Class")  22x22+0+0  +1250+1
    const std::optional<std::string> out = run("xwininfo -root -tree");
    if (!out)
        return std::nullopt;
    std::istringstream lines(*out);
    for (std::string l; std::getline(lines, l);) {
        if (l.find("\"" + name + "\":") == std::string::npos)
            continue;
        int w = 0, h = 0, rx = 0, ry = 0, ax = 0, ay = 0;
        const size_t paren = l.find(')');
        if (paren == std::string::npos ||
            std::sscanf(l.c_str() + paren + 1, " %dx%d+%d+%d +%d+%d", &w, &h, &rx, &ry, &ax, &ay) != 6)
            continue;
        if (w >= 16 && w <= 48 && h >= 16 && h <= 48)
            return std::vector<int>{ax, ay, w, h};
    }
    return std::nullopt;
}

Screenshot DesktopSession::grab(int x, int y, int w, int h) const
{
    Screenshot shot;
    const std::optional<std::string> out =
        run("import -window root -crop " + std::to_string(w) + "x" + std::to_string(h) + "+" +
            std::to_string(x) + "+" + std::to_string(y) + " +repage -depth 8 ppm:-");
    if (!out)
        return shot;
    // P6 header: magic, width, height, maximum, each followed by white space.
    std::istringstream header(*out);
    std::string magic;
    int maximum = 0;
    header >> magic >> shot.width >> shot.height >> maximum;
    if (magic != "P6" || maximum != 255)
        return Screenshot{};
    const size_t start = static_cast<size_t>(header.tellg()) + 1;
    const size_t size = static_cast<size_t>(shot.width) * static_cast<size_t>(shot.height) * 3;
    if (out->size() < start + size)
        return Screenshot{};
    shot.rgb.assign(out->begin() + static_cast<std::ptrdiff_t>(start),
                    out->begin() + static_cast<std::ptrdiff_t>(start + size));
    return shot;
}

} // namespace pelimo::test
