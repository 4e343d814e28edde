#pragma once

#include "history/CsvWriter.h"
#include "history/HistoryRecords.h"
#include "history/SqliteDatabase.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pelimo {

// One row of a listing list as it shows it: the seven cells in column order (Shift-JIS), and
// the note of a watched listing.
struct ListingCsvRow {
    std::array<std::string, 7> cells;
    std::string note;
};

enum class ListingCsvKind {
    resultList, // the seven columns and the price in yen
    watchList,  // the same, and the note as a last column
};

// The CSV of a listing list, its rows in the order given. The price in yen is read from the
// price cell; a cell that holds no price leaves it empty.
std::string listingCsv(ListingCsvKind kind, const std::vector<ListingCsvRow>& rows);

// The archive's CSV, built row by row from the window's rows or from the file's.
class ArchiveCsvBuilder {
public:
    ArchiveCsvBuilder();
    void add(const ArchiveRow& row);     // Shift-JIS texts
    void add(const ArchiveRowView& row); // UTF-8 texts
    void reserve(size_t rows) { csv.reserve(rows * 160); }
    std::string take() { return csv.take(); }

private:
    const std::string& typeLabel(std::string_view code);

    CsvWriter csv;
    std::string watchList;
    std::string confirmed;
    std::string unconfirmed;
    std::unordered_map<std::string, std::string> typeLabels; // by type code, UTF-8
};

// The CSV of the archive: the rows at the given positions, in that order.
std::string archiveCsv(const std::vector<ArchiveRow>& rows, const std::vector<uint32_t>& order);
// Every row, in the order given.
std::string archiveCsv(const std::vector<ArchiveRow>& rows);

// A time as ISO 8601 in the local time zone with its offset: "2025-03-01T21:05:09+09:00".
std::string isoLocalTime(HistoryTime at);

// The archive of the history file written as CSV, reading the file beside the running
// program. A missing history file gives the header row alone.
struct CsvExport {
    bool written = false;
    size_t rows = 0;
    std::string error; // why not
};
CsvExport exportArchiveCsv(const std::string& historyPath, const std::string& csvPath);

// Writes a CSV text to a file as every user file is written (atomically, keeping its mode).
bool writeCsvFile(const std::string& path, const std::string& csv);

} // namespace pelimo
