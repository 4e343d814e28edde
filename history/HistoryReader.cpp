#include "history/HistoryReader.h"

#include "history/PriceStats.h"
#include "platform/text/NormalizedTitle.h"
#include "platform/text/SjisText.h"

#include <algorithm>

namespace pelimo {
namespace {

using Step = SqliteStatement::Step;

HistoryTime timeOf(int64_t seconds)
{
    return HistoryTime(std::chrono::seconds(seconds));
}

// Thins a price line to about maxPoints, keeping the lowest and the highest of each stretch
// in time order and the very last point, so a peak never disappears from a small drawing.
std::vector<PricePoint> thinned(const std::vector<PricePoint>& points, size_t maxPoints)
{
    if (maxPoints < 4 || points.size() <= maxPoints)
        return points;
    std::vector<PricePoint> out;
    out.reserve(maxPoints);
    const size_t buckets = (maxPoints - 1) / 2;
    const size_t inner = points.size() - 1;
    for (size_t b = 0; b < buckets; ++b) {
        const size_t begin = b * inner / buckets;
        const size_t end = (b + 1) * inner / buckets;
        if (begin == end)
            continue;
        const auto [low, high] =
            std::minmax_element(points.begin() + static_cast<std::ptrdiff_t>(begin),
                                points.begin() + static_cast<std::ptrdiff_t>(end),
                                [](const PricePoint& a, const PricePoint& c) { return a.price < c.price; });
        if (low == high) {
            out.push_back(*low);
        } else {
            out.push_back(low < high ? *low : *high);
            out.push_back(low < high ? *high : *low);
        }
    }
    out.push_back(points.back());
    return out;
}

} // namespace

HistoryReader::HistoryReader(SqliteDatabase& database) : db(database)
{
    // A statement that does not compile (a table of a later version missing from a file
    // opened read-only) stays empty, and its query finds nothing.
    selectLatest = db.prepare("SELECT id, last_seen, last_price, last_bids, last_remain, ended_at "
                              "FROM listings WHERE item_no = ?1");
    selectObservations = db.prepare("SELECT at, price, bids, remain FROM observations "
                                    "WHERE listing_id = ?1 ORDER BY at");
    // The archive is most of the listings: one pass over the table and a sort reads each page
    // once, where following the index of end times would jump between pages for every row.
    selectArchive = db.prepare(
        "SELECT l.item_no, l.title, l.title_key, l.auction_type, l.final_price, l.final_bids, l.ended_at, "
        "s.keyword, l.confirmed FROM listings l LEFT JOIN searches s ON s.id = l.origin_search "
        "WHERE +l.ended_at IS NOT NULL ORDER BY l.ended_at DESC, l.item_no");
    selectSearchPrices =
        db.prepare("SELECT l.final_price FROM searches s JOIN found_by f ON f.search_id = s.id "
                   "JOIN listings l ON l.id = f.listing_id WHERE s.keyword = ?1 "
                   "AND l.ended_at IS NOT NULL AND l.final_price IS NOT NULL");
    selectRelisting = db.prepare("SELECT item_no, title, final_price, ended_at, confirmed FROM listings "
                                 "WHERE title_key = ?1 AND ended_at IS NOT NULL AND item_no <> ?2 "
                                 "ORDER BY ended_at DESC LIMIT 1");
    selectPastEnd = db.prepare("SELECT l.item_no FROM searches s JOIN found_by f ON f.search_id = s.id "
                               "JOIN listings l ON l.id = f.listing_id WHERE s.keyword = ?1 "
                               "AND l.ended_at IS NULL AND l.ends_at <= ?2 ORDER BY l.item_no");
    selectNote = db.prepare("SELECT text FROM notes WHERE item_no = ?1");
    selectNotes = db.prepare("SELECT item_no, text FROM notes");
}

bool HistoryReader::latest(const std::string& itemNo, int64_t& id, Observation& last,
                           std::optional<HistoryTime>& endedAt)
{
    selectLatest.bind(1, platform::sjisToUtf8(itemNo));
    const bool found = selectLatest.step() == Step::row;
    if (found) {
        id = selectLatest.integer(0);
        last.at = timeOf(selectLatest.integer(1));
        last.price = selectLatest.optionalInteger(2);
        last.bids = selectLatest.optionalInteger(3);
        last.remainTime = platform::utf8ToSjis(selectLatest.text(4));
        if (const std::optional<int64_t> ended = selectLatest.optionalInteger(5))
            endedAt = timeOf(*ended);
    }
    selectLatest.reset();
    return found;
}

ListingHistory HistoryReader::listingHistory(const std::string& itemNo)
{
    ListingHistory history;
    int64_t id = 0;
    Observation last;
    if (!latest(itemNo, id, last, history.endedAt))
        return history;
    history.known = true;
    selectObservations.bind(1, id);
    while (selectObservations.step() == Step::row) {
        history.observations.push_back(
            {timeOf(selectObservations.integer(0)), selectObservations.optionalInteger(1),
             selectObservations.optionalInteger(2), platform::utf8ToSjis(selectObservations.text(3))});
    }
    selectObservations.reset();
    // The latest sighting closes the line; it is the last observation when it changed
    // something, and kept in the listing's row otherwise.
    if (history.observations.empty() || history.observations.back().at < last.at)
        history.observations.push_back(std::move(last));
    return history;
}

std::vector<Sparkline> HistoryReader::sparklines(const std::vector<std::string>& itemNos, size_t maxPoints)
{
    std::vector<Sparkline> lines(itemNos.size());
    std::vector<PricePoint> points;
    for (size_t i = 0; i < itemNos.size(); ++i) {
        int64_t id = 0;
        Observation last;
        std::optional<HistoryTime> endedAt;
        if (!latest(itemNos[i], id, last, endedAt))
            continue;
        points.clear();
        selectObservations.bind(1, id);
        while (selectObservations.step() == Step::row) {
            if (const std::optional<int64_t> price = selectObservations.optionalInteger(1))
                points.push_back({timeOf(selectObservations.integer(0)), *price});
        }
        selectObservations.reset();
        if (last.price && (points.empty() || points.back().at < last.at))
            points.push_back({last.at, *last.price});

        Sparkline& line = lines[i];
        for (size_t p = 0; p < points.size(); ++p) {
            const int64_t price = points[p].price;
            if (p == 0) {
                line.first = line.lowest = line.highest = price;
                continue;
            }
            line.lowest = std::min(*line.lowest, price);
            line.highest = std::max(*line.highest, price);
            if (price != points[p - 1].price)
                ++line.changes;
        }
        line.points = thinned(points, maxPoints);
    }
    return lines;
}

void HistoryReader::visitArchive(const std::function<void(const ArchiveRowView&)>& visit)
{
    while (selectArchive.step() == Step::row) {
        ArchiveRowView row;
        row.itemNo = selectArchive.text(0);
        row.title = selectArchive.text(1);
        row.titleKey = selectArchive.text(2);
        row.auctionType = selectArchive.text(3);
        row.finalPrice = selectArchive.optionalInteger(4);
        row.bids = selectArchive.optionalInteger(5);
        row.endedAt = timeOf(selectArchive.integer(6));
        if (!selectArchive.isNull(7))
            row.keyword = selectArchive.text(7);
        row.confirmed = selectArchive.integer(8) != 0;
        visit(row);
    }
    selectArchive.reset();
}

std::vector<ArchiveRow> HistoryReader::archiveRows()
{
    std::vector<ArchiveRow> rows;
    visitArchive([&rows](const ArchiveRowView& view) {
        ArchiveRow row;
        row.itemNo = platform::utf8ToSjis(view.itemNo);
        row.title = platform::utf8ToSjis(view.title);
        row.titleKey = std::string(view.titleKey);
        row.auctionType = platform::utf8ToSjis(view.auctionType);
        row.finalPrice = view.finalPrice;
        row.bids = view.bids;
        row.endedAt = view.endedAt;
        if (view.keyword)
            row.origin = ListingOrigin::savedSearch(platform::utf8ToSjis(*view.keyword));
        row.confirmed = view.confirmed;
        rows.push_back(std::move(row));
    });
    return rows;
}

PriceStats HistoryReader::finalPricesOfSearch(const std::string& keyword)
{
    std::vector<int64_t> prices;
    selectSearchPrices.bind(1, platform::sjisToUtf8(keyword));
    while (selectSearchPrices.step() == Step::row)
        prices.push_back(selectSearchPrices.integer(0));
    selectSearchPrices.reset();
    return priceStatsOf(std::move(prices));
}

std::optional<EndedListing> HistoryReader::relistingOf(const std::string& title, const std::string& itemNo)
{
    selectRelisting.bind(1, normalizedTitle(title)).bind(2, platform::sjisToUtf8(itemNo));
    std::optional<EndedListing> found;
    if (selectRelisting.step() == Step::row) {
        found =
            EndedListing{platform::utf8ToSjis(selectRelisting.text(0)),
                         platform::utf8ToSjis(selectRelisting.text(1)), selectRelisting.optionalInteger(2),
                         timeOf(selectRelisting.integer(3)), selectRelisting.integer(4) != 0};
    }
    selectRelisting.reset();
    return found;
}

std::vector<std::string> HistoryReader::listingsPastEnd(const std::string& keyword, HistoryTime now)
{
    std::vector<std::string> itemNos;
    selectPastEnd.bind(1, platform::sjisToUtf8(keyword)).bind(2, int64_t{now.time_since_epoch().count()});
    while (selectPastEnd.step() == Step::row)
        itemNos.push_back(platform::utf8ToSjis(selectPastEnd.text(0)));
    selectPastEnd.reset();
    return itemNos;
}

std::string HistoryReader::note(const std::string& itemNo)
{
    selectNote.bind(1, platform::sjisToUtf8(itemNo));
    std::string text;
    if (selectNote.step() == Step::row)
        text = platform::utf8ToSjis(selectNote.text(0));
    selectNote.reset();
    return text;
}

std::unordered_map<std::string, std::string> HistoryReader::notes()
{
    std::unordered_map<std::string, std::string> all;
    while (selectNotes.step() == Step::row)
        all.emplace(platform::utf8ToSjis(selectNotes.text(0)), platform::utf8ToSjis(selectNotes.text(1)));
    selectNotes.reset();
    return all;
}

} // namespace pelimo
