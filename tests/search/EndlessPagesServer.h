#pragma once

#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace pelimo::test {

// A listing service that never reports its last page: TotalPage is always 0. With
// echoPage its CurrentPage is the page asked for and pages after rowPages bring no rows;
// without it every answer claims page 1 and brings rows. No real service answers like this,
// so a scripted one stands in.
class EndlessPagesServer {
public:
    EndlessPagesServer(bool echoPage, int rowPages) : echoPage(echoPage), rowPages(rowPages)
    {
        listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(listener, 16) != 0 ||
            getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        port = ntohs(address.sin_port);
        worker = std::thread([this] { serve(); });
    }
    ~EndlessPagesServer()
    {
        stopping = true;
        if (worker.joinable())
            worker.join();
        if (listener >= 0)
            close(listener);
    }
    EndlessPagesServer(const EndlessPagesServer&) = delete;
    EndlessPagesServer& operator=(const EndlessPagesServer&) = delete;

    std::string baseUrl() const { return "http://127.0.0.1:" + std::to_string(port); }
    int requests() const { return served.load(); }

private:
    void serve()
    {
        while (!stopping) {
            pollfd waiting{listener, POLLIN, 0};
            if (poll(&waiting, 1, 20) <= 0)
                continue;
            const int connection = accept(listener, nullptr, nullptr);
            if (connection < 0)
                continue;
            answer(connection);
            close(connection);
        }
    }

    void answer(int connection)
    {
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
            pollfd readable{connection, POLLIN, 0};
            if (poll(&readable, 1, 2000) <= 0)
                return;
            const ssize_t got = recv(connection, buffer, sizeof buffer, 0);
            if (got <= 0)
                return;
            request.append(buffer, static_cast<size_t>(got));
        }
        const size_t at = request.find("page=");
        const int page = at == std::string::npos ? 1 : std::atoi(request.c_str() + at + 5);
        std::string body =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><ResultSet><ListingInfo><TotalPage>0</TotalPage>"
            "<CurrentPage>" +
            std::to_string(echoPage ? page : 1) + "</CurrentPage>";
        if (!echoPage || page <= rowPages) {
            for (int i = 0; i < 10; ++i) {
                body += "<ItemInfo><ItemNo>p" + std::to_string(page) + "i" + std::to_string(i) +
                        "</ItemNo><ItemName>endless</ItemName><CurrentPrice>1</CurrentPrice>"
                        "<AuctionType>NO</AuctionType><ItemNum>1</ItemNum><BidNum>0</BidNum>"
                        "<RemainTime>1</RemainTime></ItemInfo>";
            }
        }
        body += "</ListingInfo></ResultSet>";
        const std::string head =
            "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: " + std::to_string(body.size()) +
            "\r\nConnection: close\r\n\r\n";
        const std::string whole = head + body;
        size_t sent = 0;
        while (sent < whole.size()) {
            const ssize_t n = send(connection, whole.data() + sent, whole.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                return;
            sent += static_cast<size_t>(n);
        }
        ++served;
    }

    bool echoPage;
    int rowPages;
    int listener = -1;
    int port = 0;
    std::atomic<bool> stopping{false};
    std::atomic<int> served{0};
    std::thread worker;
};

} // namespace pelimo::test
