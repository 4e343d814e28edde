#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pelimo {

// `pelimo --export-csv watch|archive FILE`: writes the watch list or the archive of ended
// listings of the data folder (the current directory) as CSV, without a window or a display.
// It only reads: AramList.xml as it lies, history.db read-only beside a running copy (SQLite's
// WAL lets it read while the copy writes), so it neither takes the folder's lock nor waits
// for it. Returns the exit status, 0 when the file was written; says why not on stderr.
int runCsvExport(std::string_view what, const std::string& csvPath);

// The kind and file of an export on the command line, when it asks for one: nothing when it
// does not, and an empty kind when the option lacks its arguments. A relative file name is
// taken from the folder given (where the command was typed).
struct CsvExportRequest {
    std::string what;
    std::string file;
};
std::optional<CsvExportRequest> csvExportRequest(int argc, char** argv, const std::string& workingFolder);

} // namespace pelimo
