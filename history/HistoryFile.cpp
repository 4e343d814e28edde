#include "history/HistoryFile.h"

#include "files/UserFile.h"
#include "history/HistorySchema.h"
#include "platform/FileSystem.h"

#include <sqlite3.h>

namespace pelimo {
namespace {

constexpr const char* kFileName = "history.db";

// Moves the file aside as the XML files are moved, with SQLite's companions of a database in
// WAL mode (left here, the fresh file would take up their pages); false when the file itself
// stayed where it was.
bool moveAside(const std::string& path, std::string& movedTo)
{
    const UserFileOpen moved = moveUserFileAside(path, {"-wal", "-shm"});
    movedTo = moved.movedTo;
    return moved.outcome == UserFileOutcome::movedAside;
}

// What trying the file found: usable, damaged (to be moved aside), or unusable for now.
enum class Verdict { usable, damaged, unavailable };

Verdict damagedOr(const SqliteStatus& status)
{
    return status.damaged() ? Verdict::damaged : Verdict::unavailable;
}

Verdict tryOpen(SqliteDatabase& db, const std::string& path, HistoryFileOpen& result)
{
    result.status = db.open(path, SqliteDatabase::Mode::readWrite);
    if (!result.status.ok())
        return damagedOr(result.status);
    // The program waits this long for a reader (an export beside it) before a write fails.
    result.status = db.exec("PRAGMA busy_timeout = 2000");
    if (!result.status.ok())
        return damagedOr(result.status);

    // Everything that decides whether the file is ours and whole only reads, so a file moved
    // aside or left alone is moved or left exactly as it was found.
    // quick_check reads every page once and checks each b-tree's structure, but not that the
    // indexes agree with their tables, which integrity_check adds at several times the cost.
    // A torn or overwritten file fails it; it is what start-up can afford on a year's file.
    const std::optional<std::string> check = db.queryText("PRAGMA quick_check", &result.status);
    if (!check)
        return damagedOr(result.status);
    if (*check != "ok") {
        result.status = {SQLITE_CORRUPT, *check};
        return Verdict::damaged;
    }
    const std::optional<int64_t> version = db.queryInteger("PRAGMA user_version", &result.status);
    const std::optional<int64_t> tables =
        db.queryInteger("SELECT count(*) FROM sqlite_schema", &result.status);
    if (!version || !tables)
        return damagedOr(result.status);
    if (*version > kHistorySchemaVersion) {
        result.status = {SQLITE_CANTOPEN, "written by a newer version"};
        return Verdict::unavailable;
    }
    if (*version == 0 && *tables > 0) {
        result.status = {SQLITE_NOTADB, "tables of another program"};
        return Verdict::damaged;
    }

    // WAL lets an export read while the program writes; NORMAL synchronisation in WAL mode
    // loses at most the last transactions on a power cut, never the file.
    const std::optional<std::string> mode = db.queryText("PRAGMA journal_mode = WAL", &result.status);
    if (!mode)
        return damagedOr(result.status);
    result.status = db.exec("PRAGMA synchronous = NORMAL");
    if (!result.status.ok())
        return damagedOr(result.status);

    const SchemaUpgrade upgrade = upgradeHistorySchema(db);
    switch (upgrade.outcome) {
    case SchemaUpgrade::Outcome::current:
        return Verdict::usable;
    case SchemaUpgrade::Outcome::upgraded:
        result.upgradedFrom = upgrade.fromVersion;
        return Verdict::usable;
    case SchemaUpgrade::Outcome::newer:
    case SchemaUpgrade::Outcome::failed:
        break;
    }
    result.status = upgrade.status;
    return damagedOr(upgrade.status);
}

} // namespace

std::string historyFilePath(const std::string& folder)
{
    return userFilePath(folder, kFileName);
}

HistoryFileOpen openHistoryFile(SqliteDatabase& db, const std::string& path)
{
    HistoryFileOpen result;
    if (path.empty()) {
        result.status = {SQLITE_CANTOPEN, "no folder"};
        return result;
    }
    const platform::FileKind kind = platform::fileKind(path);
    if (kind == platform::FileKind::other || kind == platform::FileKind::inaccessible) {
        // Something else holds the name; it is neither opened nor moved.
        result.status = {SQLITE_CANTOPEN, "not a file"};
        return result;
    }

    Verdict verdict = tryOpen(db, path, result);
    if (verdict == Verdict::usable) {
        result.outcome = HistoryFileOpen::Outcome::opened;
        return result;
    }
    db.close();
    if (verdict == Verdict::unavailable)
        return result;

    const SqliteStatus damage = result.status;
    if (!moveAside(path, result.movedTo))
        return result;
    HistoryFileOpen fresh;
    verdict = tryOpen(db, path, fresh);
    if (verdict != Verdict::usable) {
        db.close();
        result.status = fresh.status;
        return result;
    }
    result.outcome = HistoryFileOpen::Outcome::movedAside;
    result.status = damage;
    return result;
}

SqliteStatus openHistoryFileReadOnly(SqliteDatabase& db, const std::string& path)
{
    if (path.empty() || platform::fileKind(path) != platform::FileKind::regular)
        return {SQLITE_CANTOPEN, "no file"};
    SqliteStatus status = db.open(path, SqliteDatabase::Mode::readOnly);
    if (status.ok())
        status = db.exec("PRAGMA busy_timeout = 2000");
    if (status.ok()) {
        // The first read shows whether the file is a database at all.
        db.queryInteger("PRAGMA user_version", &status);
    }
    if (!status.ok())
        db.close();
    return status;
}

} // namespace pelimo
