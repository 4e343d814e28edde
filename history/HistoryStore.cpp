#include "history/HistoryStore.h"

#include "history/HistoryReader.h"
#include "history/SqliteTransaction.h"
#include "platform/text/SjisText.h"

#include <sqlite3.h>

namespace pelimo {
namespace {

HistoryTime systemNow()
{
    return std::chrono::time_point_cast<std::chrono::seconds>(std::chrono::system_clock::now());
}

const SqliteStatus kClosed{SQLITE_MISUSE, "history is off"};

} // namespace

HistoryStore::HistoryStore(Clock c) : clock(c ? std::move(c) : Clock(systemNow)) {}

HistoryStore::~HistoryStore()
{
    close();
}

HistoryFileOpen HistoryStore::open(const std::string& path, int32_t retentionDays)
{
    close();
    HistoryFileOpen result = openHistoryFile(db, path);
    if (!db.isOpen())
        return result;
    prepare();
    prune(retentionDays);
    return result;
}

SqliteStatus HistoryStore::openReadOnly(const std::string& path)
{
    close();
    SqliteStatus status = openHistoryFileReadOnly(db, path);
    if (status.ok())
        prepare();
    return status;
}

void HistoryStore::prepare()
{
    writer = std::make_unique<ListingWriter>(db);
    reader = std::make_unique<HistoryReader>(db);
}

void HistoryStore::close()
{
    writer.reset();
    reader.reset();
    db.close();
}

HistoryBatch HistoryStore::openBatch(ListingOrigin origin) const
{
    return HistoryBatch(std::move(origin), clock);
}

BatchResult HistoryStore::commit(HistoryBatch& batch)
{
    BatchResult result;
    if (holding) {
        // Checked first: the opening thread may be setting up the writer right now.
        if (!batch.empty())
            held.push_back(std::move(batch));
        batch.clear();
        return result;
    }
    if (writer)
        result = writer->apply(batch);
    else if (!batch.empty())
        result.status = kClosed;
    batch.clear();
    return result;
}

SqliteStatus HistoryStore::releaseHeldBatches()
{
    holding = false;
    std::vector<HistoryBatch> batches = std::move(held);
    held.clear();
    SqliteStatus first;
    for (HistoryBatch& batch : batches) {
        const BatchResult written = commit(batch);
        if (first.ok() && !written.status.ok())
            first = written.status;
    }
    return first;
}

PruneResult HistoryStore::prune(int32_t retentionDays)
{
    PruneResult result;
    if (!db.isOpen()) {
        result.status = kClosed;
        return result;
    }
    if (retentionDays < 1)
        return result;
    const int64_t cutoff = (clock() - std::chrono::days(retentionDays)).time_since_epoch().count();
    SqliteTransaction transaction(db);
    result.status = transaction.began();
    if (!result.status.ok())
        return result;

    struct Step {
        const char* sql;
        int64_t* removed;
    };
    // Only listings whose oldest observation is older than the cutoff are visited; the
    // observations' key (listing, time) finds the old ones of each directly.
    const Step steps[] = {
        {"DELETE FROM observations WHERE listing_id IN "
         "(SELECT id FROM listings WHERE oldest_observation < ?1) AND at < ?1",
         &result.observations},
        {"UPDATE listings SET oldest_observation = "
         "(SELECT min(at) FROM observations o WHERE o.listing_id = listings.id) WHERE oldest_observation < "
         "?1",
         nullptr},
        {"DELETE FROM observations WHERE listing_id IN "
         "(SELECT id FROM listings WHERE ended_at IS NULL AND last_seen < ?1)",
         &result.observations},
        {"DELETE FROM found_by WHERE listing_id IN "
         "(SELECT id FROM listings WHERE ended_at IS NULL AND last_seen < ?1)",
         nullptr},
        {"DELETE FROM listings WHERE ended_at IS NULL AND last_seen < ?1", &result.listings},
    };
    for (const Step& step : steps) {
        SqliteStatement stmt = db.prepare(step.sql, &result.status);
        if (!result.status.ok())
            return result;
        if (const int rc = stmt.bind(1, cutoff).run(); rc != SQLITE_OK) {
            result.status = db.lastStatus(rc);
            return result;
        }
        if (step.removed)
            *step.removed += db.changes();
    }
    result.status = transaction.commit();
    // The writer's memory may name listings that are gone now.
    if (writer)
        writer = std::make_unique<ListingWriter>(db);
    return result;
}

SqliteStatus HistoryStore::setNote(const std::string& itemNo, const std::string& text)
{
    if (!db.isOpen())
        return kClosed;
    SqliteStatus status;
    SqliteStatement stmt =
        text.empty() ? db.prepare("DELETE FROM notes WHERE item_no = ?1", &status)
                     : db.prepare("INSERT INTO notes (item_no, text, updated_at) VALUES (?1, ?2, ?3) "
                                  "ON CONFLICT (item_no) DO UPDATE SET text = ?2, updated_at = ?3",
                                  &status);
    if (!status.ok())
        return status;
    stmt.bind(1, platform::sjisToUtf8(itemNo));
    if (!text.empty())
        stmt.bind(2, platform::sjisToUtf8(text)).bind(3, int64_t{clock().time_since_epoch().count()});
    const int rc = stmt.run();
    return db.lastStatus(rc);
}

std::string HistoryStore::note(const std::string& itemNo) const
{
    return reader ? reader->note(itemNo) : std::string();
}

std::unordered_map<std::string, std::string> HistoryStore::notes() const
{
    return reader ? reader->notes() : std::unordered_map<std::string, std::string>();
}

ListingHistory HistoryStore::listingHistory(const std::string& itemNo) const
{
    return reader ? reader->listingHistory(itemNo) : ListingHistory();
}

std::vector<Sparkline> HistoryStore::sparklines(const std::vector<std::string>& itemNos,
                                                size_t maxPoints) const
{
    return reader ? reader->sparklines(itemNos, maxPoints) : std::vector<Sparkline>(itemNos.size());
}

std::vector<ArchiveRow> HistoryStore::archiveRows() const
{
    return reader ? reader->archiveRows() : std::vector<ArchiveRow>();
}

void HistoryStore::visitArchive(const std::function<void(const ArchiveRowView&)>& visit) const
{
    if (reader)
        reader->visitArchive(visit);
}

PriceStats HistoryStore::finalPricesOfSearch(const std::string& keyword) const
{
    return reader ? reader->finalPricesOfSearch(keyword) : PriceStats();
}

std::optional<EndedListing> HistoryStore::relistingOf(const std::string& title,
                                                      const std::string& itemNo) const
{
    return reader ? reader->relistingOf(title, itemNo) : std::nullopt;
}

std::vector<std::string> HistoryStore::listingsPastEnd(const std::string& keyword, HistoryTime now) const
{
    return reader ? reader->listingsPastEnd(keyword, now) : std::vector<std::string>();
}

} // namespace pelimo
