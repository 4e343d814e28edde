#include "pictures/PictureQueue.h"

#include <algorithm>

namespace pelimo::pictures {

void PictureQueue::ask(const std::string& address, PictureAsker asker)
{
    const auto found = index.find(address);
    if (found == index.end()) {
        entries.push_front(Entry{address, {asker}});
        index.emplace(address, entries.begin());
        return;
    }
    std::vector<PictureAsker>& askers = found->second->askers;
    if (std::find(askers.begin(), askers.end(), asker) == askers.end())
        askers.push_back(asker);
    entries.splice(entries.begin(), entries, found->second);
}

bool PictureQueue::withdraw(const std::string& address, PictureAsker asker)
{
    const auto found = index.find(address);
    if (found == index.end())
        return false;
    std::erase(found->second->askers, asker);
    if (!found->second->askers.empty())
        return false;
    erase(found->second);
    return true;
}

void PictureQueue::withdrawAll(PictureAsker asker)
{
    for (const std::string& address : askedBy(asker))
        withdraw(address, asker);
}

void PictureQueue::remove(const std::string& address)
{
    const auto found = index.find(address);
    if (found != index.end())
        erase(found->second);
}

std::vector<std::string> PictureQueue::askedBy(PictureAsker asker) const
{
    std::vector<std::string> addresses;
    for (const Entry& entry : entries) {
        if (std::find(entry.askers.begin(), entry.askers.end(), asker) != entry.askers.end())
            addresses.push_back(entry.address);
    }
    return addresses;
}

std::optional<std::string> PictureQueue::nextToLookUp() const
{
    if (toFetch == entries.size())
        return std::nullopt;
    const auto found =
        std::find_if(entries.begin(), entries.end(), [](const Entry& e) { return !e.lookedUp; });
    return found == entries.end() ? std::nullopt : std::optional<std::string>(found->address);
}

void PictureQueue::markLookedUp(const std::string& address)
{
    const auto found = index.find(address);
    if (found == index.end() || found->second->lookedUp)
        return;
    found->second->lookedUp = true;
    ++toFetch;
}

std::optional<std::string> PictureQueue::takeNextToFetch()
{
    if (toFetch == 0)
        return std::nullopt;
    const auto found =
        std::find_if(entries.begin(), entries.end(), [](const Entry& e) { return e.lookedUp; });
    std::string address = found->address;
    erase(found);
    return address;
}

void PictureQueue::erase(std::list<Entry>::iterator entry)
{
    if (entry->lookedUp)
        --toFetch;
    index.erase(entry->address);
    entries.erase(entry);
}

} // namespace pelimo::pictures
