#include "app/CsvExportCommand.h"

#include "history/HistoryCsv.h"
#include "history/HistoryFile.h"
#include "history/HistoryStore.h"
#include "listing/ListingCells.h"
#include "platform/FileSystem.h"
#include "watch/AramFile.h"

#include <cstdio>
#include <unordered_map>
#include <vector>

namespace pelimo {
namespace {

int exportWatchList(const std::string& csvPath)
{
    const AramFileLoad list = readAramFile();
    if (list.outcome == AramFileLoad::Outcome::unreadable) {
        std::fputs("pelimo: AramList.xml cannot be read; nothing was written\n", stderr);
        return 1;
    }
    // The notes live in the history; without one the column stays empty.
    std::unordered_map<std::string, std::string> notes;
    const std::string historyPath = historyFilePath({});
    if (platform::fileKind(historyPath) == platform::FileKind::regular) {
        HistoryStore store;
        if (store.openReadOnly(historyPath).ok())
            notes = store.notes();
    }
    std::vector<ListingCsvRow> rows;
    rows.reserve(list.records.size());
    for (const ItemInfo& item : list.records) {
        ListingCsvRow row;
        row.cells = listingCells(item);
        if (const auto it = notes.find(item.ItemNo); it != notes.end())
            row.note = it->second;
        rows.push_back(std::move(row));
    }
    if (!writeCsvFile(csvPath, listingCsv(ListingCsvKind::watchList, rows))) {
        std::fprintf(stderr, "pelimo: cannot write %s\n", csvPath.c_str());
        return 1;
    }
    return 0;
}

int exportArchive(const std::string& csvPath)
{
    const CsvExport written = exportArchiveCsv(historyFilePath({}), csvPath);
    if (!written.written) {
        std::fprintf(stderr, "pelimo: the archive was not written: %s\n", written.error.c_str());
        return 1;
    }
    return 0;
}

} // namespace

int runCsvExport(std::string_view what, const std::string& csvPath)
{
    if (csvPath.empty()) {
        std::fputs("pelimo: --export-csv needs watch or archive and a file name\n", stderr);
        return 2;
    }
    if (what == "watch")
        return exportWatchList(csvPath);
    if (what == "archive")
        return exportArchive(csvPath);
    std::fputs("pelimo: --export-csv needs watch or archive and a file name\n", stderr);
    return 2;
}

std::optional<CsvExportRequest> csvExportRequest(int argc, char** argv, const std::string& workingFolder)
{
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) != "--export-csv")
            continue;
        if (i + 2 >= argc)
            return CsvExportRequest{};
        std::string file = argv[i + 2];
        if (!file.empty() && file.front() != '/' && !workingFolder.empty())
            file = workingFolder + "/" + file;
        return CsvExportRequest{argv[i + 1], std::move(file)};
    }
    return std::nullopt;
}

} // namespace pelimo
