#include "MailTestServers.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pelimo::test {
namespace {

sockaddr_in loopback(uint16_t port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

bool canConnect(uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in a = loopback(port);
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool writeText(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
    return static_cast<bool>(out);
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

} // namespace

uint16_t freeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = loopback(0);
    ::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a);
    socklen_t length = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
    ::close(fd);
    return ntohs(a.sin_port);
}

TempFolder::TempFolder(const char* prefix)
{
    std::string pattern = std::string("/tmp/") + prefix + "-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr)
        dir = pattern;
}

TempFolder::~TempFolder()
{
    if (!dir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
}

bool ServerProcess::start(const std::vector<std::string>& argv, const std::string& logPath, uint16_t port,
                          std::string& error)
{
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid = ::fork();
    if (pid == 0) {
        const int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (log >= 0) {
            ::dup2(log, STDOUT_FILENO);
            ::dup2(log, STDERR_FILENO);
        }
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    if (pid < 0) {
        error = "fork failed";
        return false;
    }
    for (int i = 0; i < 200; ++i) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            pid = -1;
            error = argv[0] + " exited at start; its output:\n" + readText(logPath);
            return false;
        }
        if (canConnect(port))
            return true;
        ::usleep(50000);
    }
    error = argv[0] + " did not listen on port " + std::to_string(port) + " within 10 s; its output:\n" +
            readText(logPath);
    stop();
    return false;
}

void ServerProcess::stop()
{
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = -1;
            return;
        }
        ::usleep(50000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    pid = -1;
}

bool runProgram(const std::vector<std::string>& argv, const std::string& logPath)
{
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        const int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (log >= 0) {
            ::dup2(log, STDOUT_FILENO);
            ::dup2(log, STDERR_FILENO);
        }
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

TestCertificates::TestCertificates()
{
    const std::string& dir = folder.path();
    if (dir.empty()) {
        error = "cannot create a temporary folder";
        return;
    }
    const std::string log = dir + "/openssl.log";
    const std::string openssl = "/usr/bin/openssl";
    const std::vector<std::string> key{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
    const auto selfSigned = [&](const std::string& name, const std::string& subject) {
        std::vector<std::string> argv{openssl, "req", "-x509"};
        argv.insert(argv.end(), key.begin(), key.end());
        argv.insert(argv.end(), {"-keyout", dir + "/" + name + ".key", "-out", dir + "/" + name + ".pem",
                                 "-days", "2", "-subj", subject});
        return runProgram(argv, log);
    };
    std::vector<std::string> request{openssl, "req"};
    request.insert(request.end(), key.begin(), key.end());
    request.insert(request.end(),
                   {"-keyout", serverKeyFile(), "-out", dir + "/server.csr", "-subj", "/CN=127.0.0.1"});
    const bool made = selfSigned("ca", "/CN=Pelimo Test CA") && selfSigned("other", "/CN=Another Test CA") &&
                      runProgram(request, log) &&
                      writeText(dir + "/san.cnf", "subjectAltName=IP:127.0.0.1\n") &&
                      runProgram({openssl, "x509", "-req", "-in", dir + "/server.csr", "-CA", caFile(),
                                  "-CAkey", dir + "/ca.key", "-CAcreateserial", "-out", serverCertFile(),
                                  "-days", "2", "-extfile", dir + "/san.cnf"},
                                 log);
    if (!made)
        error = "openssl could not make the test certificates:\n" + readText(log);
}

SmtpSink::SmtpSink()
{
    start(SinkSecurity::None, nullptr);
}

SmtpSink::SmtpSink(SinkSecurity security, const TestCertificates& certificates)
{
    start(security, &certificates);
}

void SmtpSink::start(SinkSecurity security, const TestCertificates* certificates)
{
    if (folder.path().empty()) {
        error = "cannot create a temporary folder";
        return;
    }
    portNumber = freeLoopbackPort();
    std::vector<std::string> argv{"/usr/bin/python3", PELIMO_MAIL_TEST_DIR "/smtp_sink.py",
                                  std::to_string(portNumber), folder.path()};
    if (security != SinkSecurity::None) {
        if (!certificates->startError().empty()) {
            error = certificates->startError();
            return;
        }
        argv.insert(argv.end(), {security == SinkSecurity::StartTls ? "starttls" : "tls",
                                 certificates->serverCertFile(), certificates->serverKeyFile()});
    }
    process.start(argv, folder.path() + "/server.log", portNumber, error);
}

std::vector<std::string> SmtpSink::mails() const
{
    std::vector<std::string> out;
    for (int i = 1; std::filesystem::exists(folder.path() + "/mail-" + std::to_string(i)); ++i)
        out.push_back(readText(folder.path() + "/mail-" + std::to_string(i)));
    return out;
}

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
    ::chmod(dir.c_str(), 0755);
    for (const char* sub : {"/run", "/state", "/mail", "/home"})
        ::mkdir((dir + sub).c_str(), 0755);
    for (const char* sub : {"/mail", "/home"}) {
        if (::chown((dir + sub).c_str(), account->pw_uid, account->pw_gid) != 0) {
            error = "cannot hand " + dir + sub + " to the dovecot user";
            return;
        }
    }
    portNumber = freeLoopbackPort();
    const std::string config =
        replaceAll(replaceAll(readText(PELIMO_MAIL_TEST_DIR "/dovecot.conf.in"), "@DIR@", dir), "@PORT@",
                   std::to_string(portNumber));
    if (config.empty() || !writeText(dir + "/dovecot.conf", config) ||
        !writeText(dir + "/users", "tester:{PLAIN}s3cret\n")) {
        error = "cannot write the dovecot configuration";
        return;
    }
    if (!process.start({"/usr/sbin/dovecot", "-F", "-c", dir + "/dovecot.conf"}, dir + "/server.log",
                       portNumber, error))
        error += "\ndovecot.log:\n" + readText(dir + "/dovecot.log");
}

bool ScriptPeer::send(const std::string& bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

void ScriptPeer::trickle(const std::string& bytes, std::chrono::milliseconds pause)
{
    for (const char c : bytes) {
        if (!send(std::string(1, c)))
            return;
        std::this_thread::sleep_for(pause);
    }
}

std::optional<std::string> ScriptPeer::readLine(std::chrono::milliseconds timeout)
{
    for (;;) {
        const size_t lf = pending.find('\n');
        if (lf != std::string::npos) {
            std::string line = pending.substr(0, lf + 1);
            pending.erase(0, lf + 1);
            return line;
        }
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0)
            return std::nullopt;
        char buffer[4096];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return std::nullopt;
        pending.append(buffer, static_cast<size_t>(n));
        log.append(buffer, static_cast<size_t>(n));
    }
}

void ScriptPeer::drain(std::chrono::milliseconds timeout)
{
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0)
            return;
        char buffer[4096];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return;
        log.append(buffer, static_cast<size_t>(n));
    }
}

ScriptedServer::ScriptedServer(std::function<void(ScriptPeer&)> script)
{
    listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = loopback(0);
    ::bind(listener, reinterpret_cast<const sockaddr*>(&a), sizeof a);
    ::listen(listener, 4);
    socklen_t length = sizeof a;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &length);
    portNumber = ntohs(a.sin_port);
    thread = std::thread([this, script = std::move(script)] {
        pollfd p{listener, POLLIN, 0};
        if (::poll(&p, 1, 10000) <= 0)
            return;
        const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            return;
        ScriptPeer peer(client);
        script(peer);
        received = peer.received();
        ::close(client);
    });
}

ScriptedServer::~ScriptedServer()
{
    finish();
    ::close(listener);
}

std::string ScriptedServer::finish()
{
    if (thread.joinable())
        thread.join();
    return received;
}

std::function<void(ScriptPeer&)> smtpScript(std::string greeting, std::vector<std::string> replies,
                                            std::vector<std::string>* commands,
                                            std::chrono::milliseconds pause)
{
    return [greeting = std::move(greeting), replies = std::move(replies), commands, pause](ScriptPeer& peer) {
        const auto answer = [&peer, pause](const std::string& text) {
            if (pause.count() > 0)
                peer.trickle(text, pause);
            else
                peer.send(text);
        };
        answer(greeting);
        size_t next = 0;
        bool inData = false;
        while (auto line = peer.readLine()) {
            if (inData) {
                if (*line != ".\r\n" && *line != ".\n")
                    continue;
                inData = false;
            } else {
                commands->push_back(line->substr(0, line->find_last_not_of("\r\n") + 1));
            }
            if (next == replies.size()) {
                peer.drain();
                return;
            }
            const std::string& reply = replies[next++];
            inData = !inData && commands->back() == "DATA" && reply.starts_with("354");
            answer(reply);
        }
    };
}

} // namespace pelimo::test
