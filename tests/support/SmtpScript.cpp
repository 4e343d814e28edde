#include "tests/support/SmtpScript.h"

namespace pelimo::test {

LoopbackListener::Script smtpScript(std::string greeting, std::vector<std::string> replies,
                                    std::vector<std::string>* commands, std::chrono::milliseconds pause)
{
    return
        [greeting = std::move(greeting), replies = std::move(replies), commands, pause](LoopbackPeer& peer) {
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
