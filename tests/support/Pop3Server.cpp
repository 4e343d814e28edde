#include "tests/support/Pop3Server.h"

#include "platform/FileSystem.h"
#include "tests/support/LoopbackListener.h"

#include <chrono>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pelimo::test {
namespace {

std::string replaceAll(std::string text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::string readText(const std::string& path)
{
    return platform::readWholeFile(path, 1 << 20).value_or("");
}

} // namespace

Pop3Server::Pop3Server()
{
    const std::string& dir = folder.path();
    const passwd* account = ::getpwnam("dovecot");
    if (::geteuid() != 0) {
        error = "the POP3 tests start dovecot and must run as root";
        return;
    }
    if (dir.empty() || account == nullptr) {
        error = dir.empty() ? "cannot create a temporary folder" : "there is no dovecot user (dovecot-pop3d)";
        return;
    }
    // dovecot's own processes read the folder as the dovecot user.
    ::chmod(dir.c_str(), 0755);
    for (const char* sub : {"run", "state", "mail", "home"})
        ::mkdir(folder.file(sub).c_str(), 0755);
    for (const char* sub : {"mail", "home"}) {
        if (::chown(folder.file(sub).c_str(), account->pw_uid, account->pw_gid) != 0) {
            error = "cannot hand " + folder.file(sub) + " to the dovecot user";
            return;
        }
    }
    // dovecot takes its port from the configuration: the one the system hands out now.
    portNumber = freeLoopbackPort();
    const std::string config =
        replaceAll(replaceAll(readText(PELIMO_TEST_SUPPORT_DIR "/dovecot.conf.in"), "@DIR@", dir), "@PORT@",
                   std::to_string(portNumber));
    if (config.empty() || !platform::writeFileAtomically(folder.file("dovecot.conf"), config) ||
        !platform::writeFileAtomically(folder.file("users"), "tester:{PLAIN}s3cret\n")) {
        error = "cannot write the dovecot configuration";
        return;
    }
    const std::string log = folder.file("server.log");
    if (!process.start({"/usr/sbin/dovecot", "-F", "-c", folder.file("dovecot.conf")}, {.outputFile = log},
                       error))
        return;
    if (!process.waitForPort(portNumber, std::chrono::seconds(10))) {
        error = std::string(process.running() ? "dovecot did not listen on port " +
                                                    std::to_string(portNumber) + " within 10 s"
                                              : "dovecot exited at start") +
                "; its output:\n" + readText(log) + "\ndovecot.log:\n" + readText(folder.file("dovecot.log"));
        process.stop();
    }
}

} // namespace pelimo::test
