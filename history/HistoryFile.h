#pragma once

#include "history/SqliteDatabase.h"

#include <cstdint>
#include <string>

namespace pelimo {

// What opening history.db found.
struct HistoryFileOpen {
    enum class Outcome {
        opened,      // the file was used, created or brought to the current schema
        movedAside,  // it was damaged: it now lies at movedTo, and a fresh file was started
        unavailable, // it could not be used and was left as it is (status says why)
    };
    Outcome outcome = Outcome::unavailable;
    std::string movedTo;       // where a damaged file now lies, whenever it was moved
    SqliteStatus status;       // the damage found in the moved file, or why the file is unavailable
    int64_t upgradedFrom = -1; // the schema version the file had, when it was upgraded
};

// "<folder>/history.db"; an empty folder means the current directory now. Empty when the
// current directory cannot be read.
std::string historyFilePath(const std::string& folder);

// Opens the file for writing in WAL mode and checks it. A file SQLite reports as not a
// database or as corrupt, that fails its quick check, or whose tables are not ours, is
// renamed aside ("<path>.unreadable-<time>", its -wal and -shm with it, so the fresh file
// cannot take up their pages) and a fresh file is started. A file that merely cannot be
// opened now (no permission, a full disk, a lock), or that a newer program version wrote,
// is left alone and the history stays off for this run.
HistoryFileOpen openHistoryFile(SqliteDatabase& db, const std::string& path);

// Opens the file for reading only, for a second process beside the running program: nothing
// is created, moved, upgraded or written. Missing is not an error: the status is then
// SQLITE_CANTOPEN and the database stays closed.
SqliteStatus openHistoryFileReadOnly(SqliteDatabase& db, const std::string& path);

} // namespace pelimo
