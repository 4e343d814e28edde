#include "history/HistorySchema.h"

#include "history/SqliteTransaction.h"

#include <string>

namespace pelimo {
namespace {

// Times are Unix seconds; texts are UTF-8; prices and counts are integers or NULL when the
// service's text was none. A listing's last sighting lives in its row (last_*), so a poll
// that changes nothing rewrites one row and adds none; observations hold the first sighting
// and every change of price or bids.
constexpr const char* kVersion1 = R"sql(
CREATE TABLE searches (
    id INTEGER PRIMARY KEY,
    keyword TEXT NOT NULL UNIQUE
);
CREATE TABLE listings (
    id INTEGER PRIMARY KEY,
    item_no TEXT NOT NULL UNIQUE,
    title TEXT NOT NULL,
    title_key TEXT NOT NULL,
    auction_type TEXT NOT NULL,
    image_url TEXT NOT NULL,
    origin_search INTEGER,
    first_seen INTEGER NOT NULL,
    last_seen INTEGER NOT NULL,
    last_price INTEGER,
    last_bids INTEGER,
    last_remain TEXT NOT NULL,
    ends_at INTEGER,
    oldest_observation INTEGER,
    ended_at INTEGER,
    final_price INTEGER,
    final_bids INTEGER,
    confirmed INTEGER
);
CREATE INDEX listings_ended_title ON listings(title_key) WHERE ended_at IS NOT NULL;
CREATE TABLE found_by (
    search_id INTEGER NOT NULL,
    listing_id INTEGER NOT NULL,
    PRIMARY KEY (search_id, listing_id)
) WITHOUT ROWID;
CREATE TABLE observations (
    listing_id INTEGER NOT NULL,
    at INTEGER NOT NULL,
    price INTEGER,
    bids INTEGER,
    remain TEXT NOT NULL,
    PRIMARY KEY (listing_id, at)
) WITHOUT ROWID;
)sql";

// The user's note on a watched listing, kept by item number so that it outlives the
// listing's observations.
constexpr const char* kVersion2 = R"sql(
CREATE TABLE notes (
    item_no TEXT PRIMARY KEY,
    text TEXT NOT NULL,
    updated_at INTEGER NOT NULL
) WITHOUT ROWID;
)sql";

// Step n brings version n - 1 to version n.
constexpr const char* kSteps[] = {kVersion1, kVersion2};
static_assert(std::size(kSteps) == kHistorySchemaVersion);

} // namespace

SchemaUpgrade upgradeHistorySchema(SqliteDatabase& db)
{
    SchemaUpgrade result;
    const std::optional<int64_t> version = db.queryInteger("PRAGMA user_version", &result.status);
    if (!version)
        return result;
    result.fromVersion = *version;
    if (*version > kHistorySchemaVersion) {
        result.outcome = SchemaUpgrade::Outcome::newer;
        return result;
    }
    for (int64_t next = *version + 1; next <= kHistorySchemaVersion; ++next) {
        SqliteTransaction transaction(db);
        result.status = transaction.began();
        if (result.status.ok())
            result.status = db.exec(kSteps[next - 1]);
        if (result.status.ok())
            result.status = db.exec("PRAGMA user_version = " + std::to_string(next));
        if (result.status.ok())
            result.status = transaction.commit();
        if (!result.status.ok())
            return result;
    }
    result.outcome = *version == kHistorySchemaVersion ? SchemaUpgrade::Outcome::current
                                                       : SchemaUpgrade::Outcome::upgraded;
    return result;
}

} // namespace pelimo
