#pragma once

#include "tests/support/LoopbackListener.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>

namespace pelimo::test {

// A listing service that never reports its last page: TotalPage is always 0. With
// echoPage its CurrentPage is the page asked for and pages after rowPages bring no rows;
// without it every answer claims page 1 and brings rows. No real service answers like this,
// so a scripted one stands in.
class EndlessPagesServer {
public:
    EndlessPagesServer(bool echoPage, int rowPages) : echoPage(echoPage), rowPages(rowPages)
    {
        listener.serveEach([this](LoopbackPeer& peer) { answer(peer); });
    }

    std::string baseUrl() const { return listener.baseUrl(); }
    int requests() const { return served.load(); }

private:
    void answer(LoopbackPeer& peer)
    {
        const auto request = peer.readUntil("\r\n\r\n", std::chrono::seconds(2));
        if (!request)
            return;
        const size_t at = request->find("page=");
        const int page = at == std::string::npos ? 1 : std::atoi(request->c_str() + at + 5);
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
        if (peer.send("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: " +
                      std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body))
            ++served;
    }

    bool echoPage;
    int rowPages;
    std::atomic<int> served{0};
    LoopbackListener listener; // last: its thread ends before the members it uses go
};

} // namespace pelimo::test
