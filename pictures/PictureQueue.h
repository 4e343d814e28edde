#pragma once

#include <cstddef>
#include <list>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace pelimo::pictures {

// Who wants a picture: a list, a tooltip, a notification; any address that tells them apart.
using PictureAsker = const void*;

// Pictures wanted, the one asked for last first: the rows on screen now go before the ones
// scrolled past. A picture stays while one of its askers still wants it. Each is looked up
// in the disk cache first; those not found there wait for the network, in the same order.
class PictureQueue {
public:
    struct Entry {
        std::string address;
        std::vector<PictureAsker> askers;
        bool lookedUp = false; // not in the disk cache
    };

    // Puts the address first, or moves it there, wanted by asker too.
    void ask(const std::string& address, PictureAsker asker);
    // True when nobody wants the address any more and it left the queue.
    bool withdraw(const std::string& address, PictureAsker asker);
    void withdrawAll(PictureAsker asker);
    // Takes the address out, whoever wanted it.
    void remove(const std::string& address);
    // The addresses asker wants, in the queue's order.
    std::vector<std::string> askedBy(PictureAsker asker) const;

    // The first address still to look up in the disk cache.
    std::optional<std::string> nextToLookUp() const;
    void markLookedUp(const std::string& address);
    // Takes out the first address that was looked up and not found.
    std::optional<std::string> takeNextToFetch();

    bool contains(const std::string& address) const { return index.contains(address); }
    bool empty() const { return entries.empty(); }
    size_t size() const { return entries.size(); }
    // Whether any entry waits for the network.
    bool anyToFetch() const { return toFetch > 0; }

private:
    void erase(std::list<Entry>::iterator entry);

    std::list<Entry> entries;
    std::unordered_map<std::string, std::list<Entry>::iterator> index;
    size_t toFetch = 0;
};

} // namespace pelimo::pictures
