#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace pelimo::test {

using namespace std::chrono_literals;

// A free TCP port on the loopback interface, as the system hands one out now.
uint16_t freeLoopbackPort();

// Removes a folder and everything in it when it goes.
class TempFolder {
public:
    explicit TempFolder(const char* prefix);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return dir; }

private:
    std::string dir;
};

// A server process started with an argument vector and stopped by its process id.
class ServerProcess {
public:
    ServerProcess() = default;
    ~ServerProcess() { stop(); }
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Starts the program with its output in logPath, then waits until it accepts
    // connections on the port. The error text says why when it does not.
    bool start(const std::vector<std::string>& argv, const std::string& logPath, uint16_t port,
               std::string& error);
    void stop();

private:
    pid_t pid = -1;
};

// Runs a program to its end, its output in logPath; true when it exits with 0.
bool runProgram(const std::vector<std::string>& argv, const std::string& logPath);

// A certificate authority made for the test, a server certificate it signed for 127.0.0.1,
// and a second authority that signed nothing of the server's.
class TestCertificates {
public:
    TestCertificates();
    const std::string& startError() const { return error; }
    std::string caFile() const { return folder.path() + "/ca.pem"; }
    std::string otherCaFile() const { return folder.path() + "/other.pem"; }
    std::string serverCertFile() const { return folder.path() + "/server.pem"; }
    std::string serverKeyFile() const { return folder.path() + "/server.key"; }

private:
    TempFolder folder{"pelimo-certs"};
    std::string error;
};

// How the test SMTP server protects its connections.
enum class SinkSecurity { None, StartTls, ImplicitTls };

// The loopback SMTP server of the tests (aiosmtpd); each delivered mail lands in a file. With
// TLS it is a submission server that requires the login "tester" / "s3cret".
class SmtpSink {
public:
    SmtpSink();
    SmtpSink(SinkSecurity security, const TestCertificates& certificates);
    // Empty when the server runs, otherwise why it does not.
    const std::string& startError() const { return error; }
    uint16_t port() const { return portNumber; }
    // The stored mails: envelope lines, "DATA", then the message bytes.
    std::vector<std::string> mails() const;

private:
    void start(SinkSecurity security, const TestCertificates* certificates);

    TempFolder folder{"pelimo-smtp"};
    uint16_t portNumber = 0;
    std::string error;
    ServerProcess process;
};

// The loopback POP3 server of the tests (dovecot) with the user "tester", password "s3cret".
class Pop3Server {
public:
    Pop3Server();
    const std::string& startError() const { return error; }
    uint16_t port() const { return portNumber; }

private:
    TempFolder folder{"pelimo-pop3"};
    uint16_t portNumber = 0;
    std::string error;
    ServerProcess process;
};

// One side of a scripted connection, used by the script thread.
class ScriptPeer {
public:
    explicit ScriptPeer(int fd) : fd(fd) {}
    // False once the client is gone.
    bool send(const std::string& bytes);
    // Sends the bytes one at a time with a pause after each, until the client is gone.
    void trickle(const std::string& bytes, std::chrono::milliseconds pause);
    // The next line with its line end; nothing when the client closed or stayed silent.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout = 5s);
    // Reads until the client closes or the time-out passes.
    void drain(std::chrono::milliseconds timeout = 5s);
    const std::string& received() const { return log; }

private:
    int fd;
    std::string pending;
    std::string log;
};

// A loopback server that runs a script against the first client, for faults no real server
// produces on demand. Everything the client wrote is kept for the test.
class ScriptedServer {
public:
    explicit ScriptedServer(std::function<void(ScriptPeer&)> script);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    uint16_t port() const { return portNumber; }
    // Waits for the script to end and returns what the client wrote.
    std::string finish();

private:
    int listener = -1;
    uint16_t portNumber = 0;
    std::string received;
    std::thread thread;
};

// The SMTP commands of a client, one reply each from the list; after a 354 reply the
// message is read up to its end-of-data line, which takes the next reply. Like the lenient
// servers that take a bare LF as a line end, a line of a lone "." ends the data whatever its
// line end is. Returns the command lines without their line ends ("DATA" stands for the data
// too). With a pause, the greeting and every reply go out a byte at a time.
std::function<void(ScriptPeer&)> smtpScript(std::string greeting, std::vector<std::string> replies,
                                            std::vector<std::string>* commands,
                                            std::chrono::milliseconds pause = 0ms);

} // namespace pelimo::test
