#include "history/HistoryCsv.h"

#include "HistoryTexts.h"
#include "history/HistoryStore.h"
#include "platform/FileSystem.h"
#include "platform/LocalTime.h"
#include "platform/text/PriceText.h"
#include "platform/text/SjisText.h"
#include "xmlclient/AuctionType.h"

#include <cstdio>
#include <ctime>
#include <numeric>
#include <string_view>

namespace pelimo {
namespace {

// A header row of the text table: its column names, comma-separated, in UTF-8.
void headerRow(CsvWriter& csv, std::string_view namesSjis)
{
    const std::string names = platform::sjisToUtf8(namesSjis);
    size_t start = 0;
    for (;;) {
        const size_t comma = names.find(',', start);
        csv.text(std::string_view(names).substr(start, comma == std::string::npos ? std::string::npos
                                                                                  : comma - start));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
}

} // namespace

std::string listingCsv(ListingCsvKind kind, const std::vector<ListingCsvRow>& rows)
{
    CsvWriter csv;
    headerRow(csv, history_text::kListingCsvHeader);
    if (kind == ListingCsvKind::watchList)
        csv.text(platform::sjisToUtf8(history_text::kNoteCsvHeader));
    csv.endRow();
    for (const ListingCsvRow& row : rows) {
        for (const std::string& cell : row.cells)
            csv.text(platform::sjisToUtf8(cell));
        csv.number(parsePriceYen(row.cells[2]));
        if (kind == ListingCsvKind::watchList)
            csv.text(platform::sjisToUtf8(row.note));
        csv.endRow();
    }
    return csv.take();
}

ArchiveCsvBuilder::ArchiveCsvBuilder()
    : watchList(platform::sjisToUtf8(history_text::kOriginWatchList)),
      confirmed(platform::sjisToUtf8(history_text::kConfirmed)),
      unconfirmed(platform::sjisToUtf8(history_text::kUnconfirmed))
{
    headerRow(csv, history_text::kArchiveCsvHeader);
    csv.endRow();
}

const std::string& ArchiveCsvBuilder::typeLabel(std::string_view code)
{
    auto it = typeLabels.find(std::string(code));
    if (it == typeLabels.end())
        it = typeLabels.emplace(std::string(code), platform::sjisToUtf8(shortTypeLabel(code))).first;
    return it->second;
}

void ArchiveCsvBuilder::add(const ArchiveRowView& row)
{
    csv.text(row.itemNo);
    csv.text(row.title);
    csv.number(row.finalPrice);
    csv.number(row.bids);
    csv.text(typeLabel(row.auctionType));
    csv.text(isoLocalTime(row.endedAt));
    csv.text(row.keyword ? *row.keyword : std::string_view(watchList));
    csv.text(row.confirmed ? confirmed : unconfirmed);
    csv.endRow();
}

void ArchiveCsvBuilder::add(const ArchiveRow& row)
{
    const std::string itemNo = platform::sjisToUtf8(row.itemNo);
    const std::string title = platform::sjisToUtf8(row.title);
    const std::string keyword = platform::sjisToUtf8(row.origin.keyword);
    ArchiveRowView view;
    view.itemNo = itemNo;
    view.title = title;
    view.auctionType = row.auctionType; // a code, plain ASCII
    view.finalPrice = row.finalPrice;
    view.bids = row.bids;
    view.endedAt = row.endedAt;
    if (row.origin.kind == ListingOrigin::Kind::savedSearch)
        view.keyword = keyword;
    view.confirmed = row.confirmed;
    add(view);
}

std::string archiveCsv(const std::vector<ArchiveRow>& rows, const std::vector<uint32_t>& order)
{
    ArchiveCsvBuilder csv;
    csv.reserve(order.size());
    for (const uint32_t index : order) {
        if (index < rows.size())
            csv.add(rows[index]);
    }
    return csv.take();
}

std::string archiveCsv(const std::vector<ArchiveRow>& rows)
{
    std::vector<uint32_t> order(rows.size());
    std::iota(order.begin(), order.end(), 0u);
    return archiveCsv(rows, order);
}

std::string isoLocalTime(HistoryTime at)
{
    const std::time_t t = at.time_since_epoch().count();
    std::tm local{};
    if (!platform::localCalendarTime(t, local))
        return {};
    char text[40];
    const size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    // strftime's %z has no colon ("+0900"); ISO 8601's extended form wants one.
    const long offset = local.tm_gmtoff;
    const long magnitude = offset < 0 ? -offset : offset;
    std::snprintf(text + n, sizeof text - n, "%c%02ld:%02ld", offset < 0 ? '-' : '+', magnitude / 3600,
                  magnitude % 3600 / 60);
    return text;
}

CsvExport exportArchiveCsv(const std::string& historyPath, const std::string& csvPath)
{
    CsvExport result;
    ArchiveCsvBuilder csv;
    if (platform::fileKind(historyPath) != platform::FileKind::missing) {
        HistoryStore store;
        const SqliteStatus status = store.openReadOnly(historyPath);
        if (!status.ok()) {
            result.error = status.message;
            return result;
        }
        // Straight from the file's UTF-8 into the CSV's, without the window's copy.
        store.visitArchive([&](const ArchiveRowView& row) {
            csv.add(row);
            ++result.rows;
        });
    }
    if (!writeCsvFile(csvPath, csv.take())) {
        result.error = csvPath;
        result.rows = 0;
        return result;
    }
    result.written = true;
    return result;
}

bool writeCsvFile(const std::string& path, const std::string& csv)
{
    return platform::writeFileAtomically(path, csv, 0644);
}

} // namespace pelimo
