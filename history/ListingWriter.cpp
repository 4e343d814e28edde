#include "history/ListingWriter.h"

#include "history/SqliteTransaction.h"
#include "platform/text/NormalizedTitle.h"
#include "platform/text/PriceText.h"
#include "platform/text/SjisText.h"
#include "xmlclient/AuctionType.h"

#include <algorithm>
#include <sqlite3.h>

namespace pelimo {
namespace {

// Past this many listings the memory is dropped and rebuilt from the file as listings come
// back, so a saved search of a common word cannot make it grow without end.
constexpr size_t kMaxKnown = 50000;

int64_t seconds(HistoryTime at)
{
    return at.time_since_epoch().count();
}

} // namespace

ListingWriter::ListingWriter(SqliteDatabase& database) : db(database)
{
    struct Statement {
        SqliteStatement& stmt;
        const char* sql;
    };
    const Statement statements[] = {
        {selectListing,
         "SELECT id, title, auction_type, image_url, origin_search IS NULL, last_seen, last_price, "
         "last_bids, ended_at FROM listings WHERE item_no = ?1"},
        {insertListingRow, "INSERT INTO listings (item_no, title, title_key, auction_type, image_url, "
                           "origin_search, first_seen, "
                           "last_seen, last_price, last_bids, last_remain, ends_at, oldest_observation) "
                           "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?7, ?8, ?9, ?10, ?11, ?7)"},
        {updateLast, "UPDATE listings SET last_seen = ?2, last_price = ?3, last_bids = ?4, last_remain = ?5, "
                     "ends_at = ?6, oldest_observation = coalesce(oldest_observation, ?7) WHERE id = ?1"},
        {updateDescription,
         "UPDATE listings SET title = ?2, title_key = ?3, auction_type = ?4, image_url = ?5 WHERE id = ?1"},
        {markWatched, "UPDATE listings SET origin_search = NULL WHERE id = ?1"},
        {revive,
         "UPDATE listings SET ended_at = NULL, final_price = NULL, final_bids = NULL, confirmed = NULL "
         "WHERE id = ?1"},
        {insertObservation, "INSERT OR REPLACE INTO observations (listing_id, at, price, bids, remain) "
                            "VALUES (?1, ?2, ?3, ?4, ?5)"},
        {selectSearch, "SELECT id FROM searches WHERE keyword = ?1"},
        {insertSearch, "INSERT INTO searches (keyword) VALUES (?1)"},
        {insertFoundBy, "INSERT OR IGNORE INTO found_by (search_id, listing_id) VALUES (?1, ?2)"},
        // The end is the one the last remaining time promised, but never before the listing
        // was last seen alive nor after the pass that concluded it ended. A confirmed end
        // replaces a presumed one; nothing else replaces an end.
        {archive, "UPDATE listings SET ended_at = max(last_seen, min(coalesce(ends_at, ?2), ?2)), "
                  "final_price = last_price, final_bids = last_bids, confirmed = ?3 "
                  "WHERE id = ?1 AND (ended_at IS NULL OR (?3 = 1 AND confirmed = 0)) RETURNING ended_at"},
    };
    for (const Statement& s : statements) {
        s.stmt = db.prepare(s.sql, &prepareStatus);
        if (!prepareStatus.ok())
            return;
    }
}

BatchResult ListingWriter::apply(const HistoryBatch& batch)
{
    BatchResult result;
    if (!prepareStatus.ok()) {
        result.status = prepareStatus;
        return result;
    }
    if (batch.empty())
        return result;
    {
        SqliteTransaction transaction(db);
        result.status = transaction.began();
        if (result.status.ok())
            result.status = applyEntries(batch, result);
        if (result.status.ok())
            result.status = transaction.commit();
    }
    if (!result.status.ok()) {
        // What memory holds may now be ahead of the file.
        known.clear();
        searchIds.clear();
        result.sightings = result.observations = result.archived = 0;
    }
    if (known.size() > kMaxKnown)
        known.clear();
    return result;
}

SqliteStatus ListingWriter::applyEntries(const HistoryBatch& batch, BatchResult& result)
{
    SqliteStatus status;
    std::optional<int64_t> searchId;
    if (batch.origin().kind == ListingOrigin::Kind::savedSearch) {
        searchId = searchIdOf(batch.origin().keyword, status);
        if (!status.ok())
            return status;
    }
    for (const HistoryBatch::Entry& entry : batch.entries()) {
        switch (entry.kind) {
        case HistoryBatch::Kind::sighting:
            status = applySighting(entry, searchId, result);
            break;
        case HistoryBatch::Kind::endedConfirmed:
            status = applyArchive(entry, true, result);
            break;
        case HistoryBatch::Kind::endedUnconfirmed:
            status = applyArchive(entry, false, result);
            break;
        }
        if (!status.ok())
            return status;
    }
    return status;
}

SqliteStatus ListingWriter::applySighting(const HistoryBatch::Entry& entry, std::optional<int64_t> searchId,
                                          BatchResult& result)
{
    const ItemInfo& item = entry.item;
    // A record without a price is no sighting: a failed fetch leaves "-" in every field, and
    // taking it would lose the price the listing's end is archived with.
    const std::optional<int64_t> price = parsePriceYen(item.CurrentPrice);
    if (item.ItemNo.empty() || !price)
        return {};
    SqliteStatus status;
    Known* k = find(item.ItemNo, status);
    if (!status.ok())
        return status;
    if (!k)
        return insertListing(entry, searchId, result);
    if (searchId) {
        status = noteFoundBy(*k, *searchId);
        if (!status.ok())
            return status;
    }
    const int64_t at = seconds(entry.at);
    // A pass that began before the last one written ended (saved searches take turns) may
    // commit after it: what it saw is older than what the file keeps.
    if (at < k->lastSeen)
        return {};

    if (!searchId && !k->watched) {
        if (const int rc = markWatched.bind(1, k->id).run(); rc != SQLITE_OK)
            return db.lastStatus(rc);
        k->watched = true;
    }
    if (item.ItemName != k->title || item.AuctionType != k->auctionType || item.ImageUrl != k->imageUrl) {
        const std::string title = platform::sjisToUtf8(item.ItemName);
        updateDescription.bind(1, k->id)
            .bind(2, title)
            .bind(3, normalizedTitle(item.ItemName))
            .bind(4, platform::sjisToUtf8(item.AuctionType))
            .bind(5, platform::sjisToUtf8(item.ImageUrl));
        if (const int rc = updateDescription.run(); rc != SQLITE_OK)
            return db.lastStatus(rc);
        k->title = item.ItemName;
        k->auctionType = item.AuctionType;
        k->imageUrl = item.ImageUrl;
    }

    const int32_t remaining = remainingSeconds(item.RemainTime);
    if (k->endedAt && remaining > 0 && at >= *k->endedAt) {
        // Reported with time left after it was taken for ended: it had not ended.
        if (const int rc = revive.bind(1, k->id).run(); rc != SQLITE_OK)
            return db.lastStatus(rc);
        k->endedAt.reset();
    }

    const std::optional<int64_t> bids = parseCount(item.BidNum);
    const std::string remain = platform::sjisToUtf8(item.RemainTime);
    const bool changed = price != k->price || bids != k->bids;
    if (changed) {
        insertObservation.bind(1, k->id).bind(2, at).bind(3, price).bind(4, bids).bind(5, remain);
        if (const int rc = insertObservation.run(); rc != SQLITE_OK)
            return db.lastStatus(rc);
        ++result.observations;
    }
    updateLast.bind(1, k->id).bind(2, at).bind(3, price).bind(4, bids).bind(5, remain);
    updateLast.bind(6, remaining >= 0 ? std::optional<int64_t>(at + remaining) : std::nullopt);
    updateLast.bind(7, changed ? std::optional<int64_t>(at) : std::nullopt);
    if (const int rc = updateLast.run(); rc != SQLITE_OK)
        return db.lastStatus(rc);
    k->lastSeen = at;
    k->price = price;
    k->bids = bids;
    ++result.sightings;
    return {};
}

SqliteStatus ListingWriter::insertListing(const HistoryBatch::Entry& entry, std::optional<int64_t> searchId,
                                          BatchResult& result)
{
    const ItemInfo& item = entry.item;
    const int64_t at = seconds(entry.at);
    const std::optional<int64_t> price = parsePriceYen(item.CurrentPrice);
    const std::optional<int64_t> bids = parseCount(item.BidNum);
    const int32_t remaining = remainingSeconds(item.RemainTime);
    const std::string title = platform::sjisToUtf8(item.ItemName);
    const std::string remain = platform::sjisToUtf8(item.RemainTime);

    insertListingRow.bind(1, platform::sjisToUtf8(item.ItemNo))
        .bind(2, title)
        .bind(3, normalizedTitle(item.ItemName))
        .bind(4, platform::sjisToUtf8(item.AuctionType))
        .bind(5, platform::sjisToUtf8(item.ImageUrl))
        .bind(6, searchId)
        .bind(7, at)
        .bind(8, price)
        .bind(9, bids)
        .bind(10, remain)
        .bind(11, remaining >= 0 ? std::optional<int64_t>(at + remaining) : std::nullopt);
    if (const int rc = insertListingRow.run(); rc != SQLITE_OK)
        return db.lastStatus(rc);

    Known k;
    k.id = db.lastInsertRowId();
    k.lastSeen = at;
    k.price = price;
    k.bids = bids;
    k.watched = !searchId;
    k.title = item.ItemName;
    k.auctionType = item.AuctionType;
    k.imageUrl = item.ImageUrl;

    // The first sighting is always kept.
    insertObservation.bind(1, k.id).bind(2, at).bind(3, price).bind(4, bids).bind(5, remain);
    if (const int rc = insertObservation.run(); rc != SQLITE_OK)
        return db.lastStatus(rc);
    Known& stored = known.insert_or_assign(item.ItemNo, std::move(k)).first->second;
    if (searchId) {
        if (SqliteStatus status = noteFoundBy(stored, *searchId); !status.ok())
            return status;
    }
    ++result.sightings;
    ++result.observations;
    return {};
}

SqliteStatus ListingWriter::applyArchive(const HistoryBatch::Entry& entry, bool confirmed,
                                         BatchResult& result)
{
    SqliteStatus status;
    Known* k = find(entry.item.ItemNo, status);
    if (!k)
        return status; // a listing never met has nothing to archive
    archive.bind(1, k->id).bind(2, seconds(entry.at)).bind(3, int64_t{confirmed ? 1 : 0});
    SqliteStatement::Step step = archive.step();
    if (step == SqliteStatement::Step::row) {
        k->endedAt = archive.integer(0);
        ++result.archived;
        step = archive.step();
    }
    const int code = archive.lastCode();
    archive.reset();
    return step == SqliteStatement::Step::failed ? db.lastStatus(code) : SqliteStatus{};
}

SqliteStatus ListingWriter::noteFoundBy(Known& k, int64_t searchId)
{
    if (std::find(k.searches.begin(), k.searches.end(), searchId) != k.searches.end())
        return {};
    if (const int rc = insertFoundBy.bind(1, searchId).bind(2, k.id).run(); rc != SQLITE_OK)
        return db.lastStatus(rc);
    k.searches.push_back(searchId);
    return {};
}

ListingWriter::Known* ListingWriter::find(const std::string& itemNo, SqliteStatus& status)
{
    if (const auto it = known.find(itemNo); it != known.end())
        return &it->second;
    selectListing.bind(1, platform::sjisToUtf8(itemNo));
    const SqliteStatement::Step step = selectListing.step();
    if (step != SqliteStatement::Step::row) {
        if (step == SqliteStatement::Step::failed)
            status = db.lastStatus(selectListing.lastCode());
        selectListing.reset();
        return nullptr;
    }
    Known k;
    k.id = selectListing.integer(0);
    k.title = platform::utf8ToSjis(selectListing.text(1));
    k.auctionType = platform::utf8ToSjis(selectListing.text(2));
    k.imageUrl = platform::utf8ToSjis(selectListing.text(3));
    k.watched = selectListing.integer(4) != 0;
    k.lastSeen = selectListing.integer(5);
    k.price = selectListing.optionalInteger(6);
    k.bids = selectListing.optionalInteger(7);
    k.endedAt = selectListing.optionalInteger(8);
    selectListing.reset();
    return &known.insert_or_assign(itemNo, std::move(k)).first->second;
}

std::optional<int64_t> ListingWriter::searchIdOf(const std::string& keywordSjis, SqliteStatus& status)
{
    if (const auto it = searchIds.find(keywordSjis); it != searchIds.end())
        return it->second;
    const std::string keyword = platform::sjisToUtf8(keywordSjis);
    std::optional<int64_t> id;
    selectSearch.bind(1, keyword);
    const SqliteStatement::Step step = selectSearch.step();
    if (step == SqliteStatement::Step::row)
        id = selectSearch.integer(0);
    else if (step == SqliteStatement::Step::failed)
        status = db.lastStatus(selectSearch.lastCode());
    selectSearch.reset();
    if (!status.ok())
        return std::nullopt;
    if (!id) {
        if (const int rc = insertSearch.bind(1, keyword).run(); rc != SQLITE_OK) {
            status = db.lastStatus(rc);
            return std::nullopt;
        }
        id = db.lastInsertRowId();
    }
    searchIds.emplace(keywordSjis, *id);
    return id;
}

} // namespace pelimo
