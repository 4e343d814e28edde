#pragma once

#include "history/HistoryRecords.h"
#include "history/SqliteDatabase.h"
#include "history/SqliteStatement.h"

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace pelimo {

// The store's queries, each a statement compiled once. Texts come back as Shift-JIS. A
// query that fails gives what it has read so far (nothing, mostly): the windows show less,
// and the file is not touched.
class HistoryReader {
public:
    explicit HistoryReader(SqliteDatabase& db);
    HistoryReader(const HistoryReader&) = delete;
    HistoryReader& operator=(const HistoryReader&) = delete;

    ListingHistory listingHistory(const std::string& itemNo);
    std::vector<Sparkline> sparklines(const std::vector<std::string>& itemNos, size_t maxPoints);
    std::vector<ArchiveRow> archiveRows();
    void visitArchive(const std::function<void(const ArchiveRowView&)>& visit);
    PriceStats finalPricesOfSearch(const std::string& keyword);
    std::optional<EndedListing> relistingOf(const std::string& title, const std::string& itemNo);
    std::vector<std::string> listingsPastEnd(const std::string& keyword, HistoryTime now);
    std::string note(const std::string& itemNo);
    std::unordered_map<std::string, std::string> notes();

private:
    // The listing's id and its latest sighting (the last observation); false when unknown.
    bool latest(const std::string& itemNo, int64_t& id, Observation& last,
                std::optional<HistoryTime>& endedAt);

    SqliteDatabase& db;
    SqliteStatement selectLatest;
    SqliteStatement selectObservations;
    SqliteStatement selectArchive;
    SqliteStatement selectSearchPrices;
    SqliteStatement selectRelisting;
    SqliteStatement selectPastEnd;
    SqliteStatement selectNote;
    SqliteStatement selectNotes;
};

} // namespace pelimo
