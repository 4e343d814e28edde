#include "search/TurnRotation.h"

#include "search/PagingSession.h"

namespace pelimo {

void TurnRotation::add(PagingSession& session)
{
    if (!contains(session))
        entries.push_back(Entry{&session, true});
}

void TurnRotation::markClosing(const PagingSession& session)
{
    if (const int i = indexOf(session); i >= 0)
        entries[static_cast<size_t>(i)].open = false;
}

bool TurnRotation::isOpen(const PagingSession& session) const
{
    const int i = indexOf(session);
    return i >= 0 && entries[static_cast<size_t>(i)].open;
}

std::vector<PagingSession*> TurnRotation::sessions() const
{
    std::vector<PagingSession*> out;
    out.reserve(entries.size());
    for (const Entry& entry : entries)
        out.push_back(entry.session);
    return out;
}

int TurnRotation::indexOf(const PagingSession& session) const
{
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].session == &session)
            return static_cast<int>(i);
    }
    return -1;
}

void TurnRotation::passTurn(size_t start)
{
    for (size_t k = 0; k < entries.size(); ++k) {
        const Entry& entry = entries[(start + k) % entries.size()];
        if (entry.open && entry.session->waitsForTurn()) {
            entry.session->turnGiven();
            host.giveTurn(*entry.session);
            return;
        }
    }
}

void TurnRotation::pageEvent(PagingSession& sender)
{
    const int i = indexOf(sender);
    if (i < 0)
        return;
    sender.pageEventHandled();
    switch (sender.progress().state) {
    case ListState::PageDone:
    case ListState::Paused:
    case ListState::Complete:
    case ListState::Failed: // hands the turn on too, so no list waits for a report that never comes
        passTurn(static_cast<size_t>(i) + 1);
        return;
    default:
        return;
    }
}

void TurnRotation::deliverTurn(PagingSession& session)
{
    if (session.takeTurn())
        return;
    const int i = indexOf(session);
    passTurn(i < 0 ? 0 : static_cast<size_t>(i) + 1);
}

void TurnRotation::remove(const PagingSession& session)
{
    const int i = indexOf(session);
    if (i < 0)
        return;
    entries.erase(entries.begin() + i);
    if (entries.empty()) {
        host.searchTabsClosed();
        return;
    }
    // A list closed during its run took its turn with it; the next waiting list gets one.
    passTurn(static_cast<size_t>(i));
}

} // namespace pelimo
