#pragma once

#include "history/HistoryBatch.h"
#include "history/SqliteDatabase.h"
#include "history/SqliteStatement.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace pelimo {

// What committing a batch did.
struct BatchResult {
    SqliteStatus status;
    int32_t sightings = 0;    // written
    int32_t observations = 0; // new observation rows among them
    int32_t archived = 0;     // listings that entered the archive
};

// Writes batches into the listings and observations tables. It remembers what it last wrote
// of each listing it met, so that an unchanged poll costs one row update and no read; the
// memory is dropped whenever a transaction does not land, and read again from the file.
class ListingWriter {
public:
    explicit ListingWriter(SqliteDatabase& db);
    ListingWriter(const ListingWriter&) = delete;
    ListingWriter& operator=(const ListingWriter&) = delete;

    // When the statements could not be compiled, apply always fails with the status saying why.
    BatchResult apply(const HistoryBatch& batch);

private:
    // What the file holds of a listing, as far as writing needs it. Texts as received.
    struct Known {
        int64_t id = 0;
        int64_t lastSeen = 0;
        std::optional<int64_t> price;
        std::optional<int64_t> bids;
        std::optional<int64_t> endedAt;
        bool watched = false; // met on the watch list: its origin
        std::string title;
        std::string auctionType;
        std::string imageUrl;
        std::vector<int64_t> searches; // saved searches known to have found it
    };

    SqliteStatus applyEntries(const HistoryBatch& batch, BatchResult& result);
    SqliteStatus applySighting(const HistoryBatch::Entry& entry, std::optional<int64_t> searchId,
                               BatchResult& result);
    SqliteStatus applyArchive(const HistoryBatch::Entry& entry, bool confirmed, BatchResult& result);
    SqliteStatus insertListing(const HistoryBatch::Entry& entry, std::optional<int64_t> searchId,
                               BatchResult& result);
    SqliteStatus noteFoundBy(Known& known, int64_t searchId);
    // The listing's state, from memory or the file; nullptr when the file has none (or the
    // read failed, which the status then says).
    Known* find(const std::string& itemNo, SqliteStatus& status);
    std::optional<int64_t> searchIdOf(const std::string& keywordSjis, SqliteStatus& status);

    SqliteDatabase& db;
    SqliteStatus prepareStatus;
    SqliteStatement selectListing;
    SqliteStatement insertListingRow;
    SqliteStatement updateLast;
    SqliteStatement updateDescription;
    SqliteStatement markWatched;
    SqliteStatement revive;
    SqliteStatement insertObservation;
    SqliteStatement selectSearch;
    SqliteStatement insertSearch;
    SqliteStatement insertFoundBy;
    SqliteStatement archive;

    std::unordered_map<std::string, Known> known;
    std::unordered_map<std::string, int64_t> searchIds;
};

} // namespace pelimo
