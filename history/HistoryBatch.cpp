#include "history/HistoryBatch.h"

namespace pelimo {

HistoryBatch::HistoryBatch(ListingOrigin origin, std::function<HistoryTime()> now)
    : from(std::move(origin)), clock(std::move(now))
{}

void HistoryBatch::record(const ItemInfo& item)
{
    record(item, clock());
}

void HistoryBatch::record(const ItemInfo& item, HistoryTime at)
{
    collected.push_back({Kind::sighting, at, item});
}

void HistoryBatch::archiveEnded(const std::string& itemNo)
{
    Entry entry{Kind::endedConfirmed, clock(), {}};
    entry.item.ItemNo = itemNo;
    collected.push_back(std::move(entry));
}

void HistoryBatch::archiveUnreported(const std::string& itemNo)
{
    Entry entry{Kind::endedUnconfirmed, clock(), {}};
    entry.item.ItemNo = itemNo;
    collected.push_back(std::move(entry));
}

} // namespace pelimo
