#include "mail/Pop3Client.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>

namespace pelimo {
namespace {

constexpr const char* kReadLineError = "ReadLine error";
// Given for a user id or password that holds a line break; nothing is sent then.
constexpr const char* kInvalidArgument = "invalid argument";
constexpr size_t kPeekCapacity = 1023;

std::optional<uint16_t> parsePort(const std::string& text)
{
    unsigned value = 0;
    const char* end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc{} || rest != end || value == 0 || value > 65535)
        return std::nullopt;
    return static_cast<uint16_t>(value);
}

} // namespace

Pop3Client::Pop3Client(std::chrono::milliseconds io, std::chrono::milliseconds connect,
                       const platform::WaitInterrupt* i)
    : ioTimeout(io), connectTimeout(connect), interrupt(i)
{}

bool Pop3Client::connect(const std::string& host, const std::string& port, std::string& result)
{
    const auto number = parsePort(port);
    const auto address = number ? platform::resolveIpv4(host) : std::nullopt;
    auto connected =
        address ? platform::connectTcp(*address, *number, connectTimeout, interrupt) : std::nullopt;
    if (!connected) {
        result = "cannot connect " + host + ":" + port;
        return false;
    }
    socket = std::move(*connected);
    const auto greeting = readLine();
    if (!greeting) {
        result = kReadLineError;
        return false;
    }
    result = *greeting;
    return true;
}

bool Pop3Client::user(const std::string& name, std::string& result)
{
    return commandWithArgument("user ", name, result);
}

bool Pop3Client::pass(const std::string& password, std::string& result)
{
    return commandWithArgument("pass ", password, result);
}

bool Pop3Client::commandWithArgument(const char* verb, const std::string& argument, std::string& result)
{
    // A line break would let the value send commands of its own.
    if (argument.find_first_of("\r\n") != std::string::npos) {
        result = kInvalidArgument;
        return false;
    }
    socket.sendAll(verb + argument + "\r\n", ioTimeout);
    const auto line = readLine();
    if (!line) {
        result = kReadLineError;
        return false;
    }
    result = *line;
    return !(line->starts_with("-ERR") || line->starts_with("-err"));
}

bool Pop3Client::quit(std::string& result)
{
    socket.sendAll("quit\r\n", ioTimeout);
    const auto line = readLine();
    if (!line) {
        result = kReadLineError;
        return false;
    }
    result = *line;
    return true;
}

void Pop3Client::close()
{
    socket.close();
}

std::optional<std::string> Pop3Client::readLine()
{
    // One deadline for the whole line: a server that sends it a byte at a time cannot stretch
    // the wait past the bound.
    const platform::Deadline deadline = platform::deadlineAfter(ioTimeout);
    std::string line;
    std::array<char, kPeekCapacity> buffer{};
    for (;;) {
        const auto peeked = socket.receiveOnce(buffer.data(), buffer.size(), deadline, true);
        if (!peeked || *peeked == 0)
            return std::nullopt;
        const char* lf = static_cast<const char*>(std::memchr(buffer.data(), '\n', *peeked));
        const size_t count = lf != nullptr ? static_cast<size_t>(lf - buffer.data()) + 1 : *peeked;

        // The peeked bytes are waiting, so they arrive at once; take exactly those.
        size_t taken = 0;
        while (taken < count) {
            const auto got = socket.receiveOnce(buffer.data() + taken, count - taken, deadline);
            if (!got)
                return std::nullopt;
            if (*got == 0)
                break;
            taken += *got;
        }
        const char* nul = static_cast<const char*>(std::memchr(buffer.data(), '\0', taken));
        line.append(buffer.data(), nul != nullptr ? static_cast<size_t>(nul - buffer.data()) : taken);
        if (line.size() > kMaxLineLength)
            return std::nullopt;
        if (lf != nullptr && taken == count)
            return line;
        if (taken < count)
            return std::nullopt;
    }
}

} // namespace pelimo
