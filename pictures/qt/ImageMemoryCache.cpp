#include "pictures/qt/ImageMemoryCache.h"

namespace pelimo::pictures {

QImage ImageMemoryCache::find(const std::string& address)
{
    const auto found = index.find(address);
    if (found == index.end())
        return {};
    entries.splice(entries.begin(), entries, found->second);
    return found->second->image;
}

void ImageMemoryCache::insert(const std::string& address, QImage image)
{
    remove(address);
    const size_t cost = costOf(image);
    if (cost > bound)
        return;
    while (total + cost > bound && !entries.empty())
        remove(entries.back().address);
    entries.push_front(Entry{address, std::move(image)});
    index.emplace(address, entries.begin());
    total += cost;
}

void ImageMemoryCache::remove(const std::string& address)
{
    const auto found = index.find(address);
    if (found == index.end())
        return;
    total -= costOf(found->second->image);
    entries.erase(found->second);
    index.erase(found);
}

} // namespace pelimo::pictures
