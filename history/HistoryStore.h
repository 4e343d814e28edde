#pragma once

#include "history/HistoryBatch.h"
#include "history/HistoryFile.h"
#include "history/HistoryRecords.h"
#include "history/ListingWriter.h"
#include "history/SqliteDatabase.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace pelimo {

class HistoryReader;

// What pruning removed.
struct PruneResult {
    SqliteStatus status;
    int64_t observations = 0;
    int64_t listings = 0;
};

// The price history of the listings the program meets, and the archive of ended listings,
// in history.db beside AramList.xml. Plain C++ on the caller's thread; texts in and out are
// Shift-JIS.
//
// How the program uses it:
// - At start-up, off the window's thread (the quick check reads the whole file), open() with
//   the path from historyFilePath() and the retention setting. Say a movedAside outcome once
//   in the status line (historyMovedAsideStatus); after unavailable the store stays closed,
//   every write fails and every query finds nothing, so the program runs on without history.
// - Each watch cycle, fast tick and saved-search run opens a batch (openBatch with its
//   origin), records every listing the service reported to it, and commits the batch when the
//   pass ends. Commit runs one short transaction; nothing is held open while fetching.
// - Archiving is the callers' decision, made by these rules:
//   * The watch list calls HistoryBatch::archiveEnded for a watched listing whose remaining
//     time had run out (counted down from its last fetch) and whose fetch then failed or
//     reported it ended; a final report is recorded first, so its price is the final one.
//   * A saved search, after a run that saw all its pages, calls archiveUnreported for each
//     listing of listingsPastEnd(keyword, now) that the run did not report. An incomplete
//     run archives nothing.
//   The end time is the one the last remaining time promised, kept between the last sighting
//   and the archiving pass; a listing reported again with time left leaves the archive.
// - `pelimo --export-csv` opens a second store with openReadOnly while the program runs.
class HistoryStore {
public:
    using Clock = std::function<HistoryTime()>;

    // The system clock, unless a test gives its own.
    explicit HistoryStore(Clock clock = {});
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // Opens (or creates, or moves aside and starts afresh) the file for writing, then prunes
    // observations older than retentionDays (none when it is below 1).
    HistoryFileOpen open(const std::string& path, int32_t retentionDays);
    // For reading only, beside the running program; see openHistoryFileReadOnly.
    SqliteStatus openReadOnly(const std::string& path);
    void close();
    bool isOpen() const { return db.isOpen(); }
    // A read under way on this store's thread ends early, finding less, once the flag is
    // set; for a reader that is being dropped. The flag outlives the store's connection.
    void stopReadsWhen(const std::atomic<bool>* flag) { db.stopWhen(flag); }

    HistoryTime now() const { return clock(); }

    // From before the file is opened on a worker until the store is handed to the window's
    // thread, the passes that run meanwhile commit into the store's hold instead: commit keeps
    // the batch and touches nothing the opening thread uses. Called on the thread that commits.
    void holdBatches() { holding = true; }
    // Whether a pass should collect a batch: the store is open, or it holds batches.
    bool recording() const { return holding || isOpen(); }
    // Ends the hold on the committing thread, once the open has finished: writes the held
    // batches in the order they came (or drops them when the file did not open) and reports
    // the first failure.
    SqliteStatus releaseHeldBatches();

    HistoryBatch openBatch(ListingOrigin origin) const;
    // Writes the batch in one transaction and empties it. A batch that fails is written not
    // at all (the status says why) and is emptied too: the next pass sees the listings anew.
    // While the store holds batches, the batch is kept for releaseHeldBatches instead.
    BatchResult commit(HistoryBatch& batch);

    // Drops observations older than the retention and the listings that have not been seen
    // since, unless they ended: the archive and its final prices are kept.
    PruneResult prune(int32_t retentionDays);

    // The user's note on a watched listing; an empty text removes it.
    SqliteStatus setNote(const std::string& itemNo, const std::string& text);
    std::string note(const std::string& itemNo) const;
    std::unordered_map<std::string, std::string> notes() const;

    // The listing's observations for its chart, oldest first.
    ListingHistory listingHistory(const std::string& itemNo) const;
    // One sparkline per item number, in the same order (empty for a listing never met), each
    // thinned to about maxPoints points.
    std::vector<Sparkline> sparklines(const std::vector<std::string>& itemNos, size_t maxPoints) const;
    // Every ended listing, the latest end first.
    std::vector<ArchiveRow> archiveRows() const;
    // The same rows as the file holds them, one at a time, without a copy.
    void visitArchive(const std::function<void(const ArchiveRowView&)>& visit) const;
    // The final prices of the ended listings the saved search with that keyword found.
    PriceStats finalPricesOfSearch(const std::string& keyword) const;
    // The latest ended listing, other than itemNo, whose title matches (normalizedTitle).
    std::optional<EndedListing> relistingOf(const std::string& title, const std::string& itemNo) const;
    // The listings the saved search found that are not archived and whose remaining time has
    // run out by now: the candidates for archiveUnreported.
    std::vector<std::string> listingsPastEnd(const std::string& keyword, HistoryTime now) const;

private:
    void prepare();

    Clock clock;
    bool holding = false;
    std::vector<HistoryBatch> held;
    // Declared first, so the statements below are finalized before the connection closes.
    SqliteDatabase db;
    std::unique_ptr<ListingWriter> writer;
    std::unique_ptr<HistoryReader> reader;
};

} // namespace pelimo
