#pragma once

#include "history/SqliteDatabase.h"

#include <cstdint>

namespace pelimo {

// The layout of history.db, numbered in PRAGMA user_version: 0 is an empty file, and each
// later version is reached from the one before by one step, so a file of any earlier version
// is brought up to the current one in order.
inline constexpr int64_t kHistorySchemaVersion = 2;

// What upgrading the file's schema found.
struct SchemaUpgrade {
    enum class Outcome { current, upgraded, newer, failed };
    Outcome outcome = Outcome::failed;
    int64_t fromVersion = 0;
    SqliteStatus status; // why it failed
};

// Brings the open database to kHistorySchemaVersion, each step in a transaction of its own
// that also sets the version, so a step either lands whole or not at all. A file of a newer
// version than this program knows is left as it is.
SchemaUpgrade upgradeHistorySchema(SqliteDatabase& db);

} // namespace pelimo
