#pragma once

#include <cstddef>
#include <vector>

namespace pelimo {

class PagingSession;

// What the rotation needs from the tab control: a turn delivered to a list (posted, so the
// list takes it from the event loop), and the report that the last list has gone.
class TurnRotationHost {
public:
    virtual ~TurnRotationHost() = default;

    virtual void giveTurn(PagingSession& session) = 0;
    virtual void searchTabsClosed() = 0;
};

// The turns of the search tabs: after each page of a list the next page goes to the first
// open list after it, wrapping round and itself last, that waits for one in PageDone. A
// list waiting for a slow service holds up nobody; only first pages jump the queue.
class TurnRotation {
public:
    explicit TurnRotation(TurnRotationHost& host) : host(host) {}

    // Tabs register their session when created and mark it closing when their tab closes.
    void add(PagingSession& session);
    void markClosing(const PagingSession& session);
    bool contains(const PagingSession& session) const { return indexOf(session) >= 0; }
    bool isOpen(const PagingSession& session) const;
    // The sessions, open and closing, in creation order.
    std::vector<PagingSession*> sessions() const;
    bool empty() const { return entries.empty(); }

    // The session's pageEvent: PageDone, Paused, Complete and Failed hand the turn on.
    void pageEvent(PagingSession& sender);
    // A turn given earlier reaches its list: taken if the list still waits for it, else it
    // goes to the next one.
    void deliverTurn(PagingSession& session);
    // The session's listStopped: it leaves the rotation and its turn passes on; the last one
    // gone reports searchTabsClosed. A second report of the same session does nothing.
    void remove(const PagingSession& session);

private:
    struct Entry {
        PagingSession* session;
        bool open;
    };

    int indexOf(const PagingSession& session) const;
    void passTurn(size_t start);

    TurnRotationHost& host;
    std::vector<Entry> entries;
};

} // namespace pelimo
