#pragma once

#include "history/HistoryRecords.h"
#include "xmlclient/ItemInfo.h"

#include <functional>
#include <string>
#include <vector>

namespace pelimo {

// What one watch cycle, fast tick or saved-search run saw and concluded, collected as it
// goes and written by HistoryStore::commit in one transaction. Collecting costs no database
// work, so a batch may stay open across the event pump while the pass fetches, and several
// runs that take turns can each hold one. An uncommitted batch writes nothing.
class HistoryBatch {
public:
    enum class Kind { sighting, endedConfirmed, endedUnconfirmed };
    struct Entry {
        Kind kind = Kind::sighting;
        HistoryTime at;
        ItemInfo item; // only ItemNo for the two archive kinds
    };

    HistoryBatch(ListingOrigin origin, std::function<HistoryTime()> clock);

    // A listing as the service reported it in this pass, stamped with the store's clock now.
    // A record whose price is no price (a failed fetch's "-") is passed over when written.
    void record(const ItemInfo& item);
    void record(const ItemInfo& item, HistoryTime at);

    // The listing has ended and the watch list saw it (see HistoryStore for when).
    void archiveEnded(const std::string& itemNo);
    // The listing has presumably ended: a saved search stopped reporting it after its time
    // ran out.
    void archiveUnreported(const std::string& itemNo);

    const ListingOrigin& origin() const { return from; }
    const std::vector<Entry>& entries() const { return collected; }
    bool empty() const { return collected.empty(); }
    void clear() { collected.clear(); }
    void reserve(size_t count) { collected.reserve(count); }

private:
    ListingOrigin from;
    std::function<HistoryTime()> clock;
    std::vector<Entry> collected;
};

} // namespace pelimo
