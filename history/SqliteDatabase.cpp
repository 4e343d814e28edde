#include "history/SqliteDatabase.h"

#include "history/SqliteStatement.h"

#include <sqlite3.h>

namespace pelimo {

bool SqliteStatus::damaged() const
{
    const int primary = code & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

SqliteDatabase::~SqliteDatabase()
{
    close();
}

SqliteStatus SqliteDatabase::open(const std::string& path, Mode mode)
{
    close();
    const int flags =
        (mode == Mode::readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) |
        SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        SqliteStatus status = lastStatus(rc);
        close();
        return status;
    }
    sqlite3_extended_result_codes(db, 1);
    return {};
}

void SqliteDatabase::stopWhen(const std::atomic<bool>* flag)
{
    if (!db)
        return;
    // Asked on the connection's own thread every hundred steps of the statement.
    sqlite3_progress_handler(
        db, 100, [](void* f) { return static_cast<const std::atomic<bool>*>(f)->load() ? 1 : 0; },
        const_cast<std::atomic<bool>*>(flag));
}

void SqliteDatabase::close()
{
    if (!db)
        return;
    // Every statement is finalized by its owner first; close_v2 would otherwise keep the
    // connection alive until they are.
    sqlite3_close_v2(db);
    db = nullptr;
}

SqliteStatus SqliteDatabase::exec(std::string_view sql)
{
    if (!db)
        return {SQLITE_MISUSE, "no database"};
    const std::string text(sql);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, text.c_str(), nullptr, nullptr, &error);
    SqliteStatus status;
    if (rc != SQLITE_OK) {
        status.code = rc;
        status.message = error ? error : sqlite3_errstr(rc);
    }
    sqlite3_free(error);
    return status;
}

SqliteStatement SqliteDatabase::prepare(std::string_view sql, SqliteStatus* status)
{
    if (!db) {
        if (status)
            *status = {SQLITE_MISUSE, "no database"};
        return {};
    }
    sqlite3_stmt* stmt = nullptr;
    const int rc = sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                                      &stmt, nullptr);
    if (status)
        *status = rc == SQLITE_OK ? SqliteStatus{} : lastStatus(rc);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return {};
    }
    return SqliteStatement(stmt);
}

std::optional<int64_t> SqliteDatabase::queryInteger(std::string_view sql, SqliteStatus* status)
{
    SqliteStatement stmt = prepare(sql, status);
    if (!stmt.valid())
        return std::nullopt;
    const SqliteStatement::Step step = stmt.step();
    if (step == SqliteStatement::Step::failed && status)
        *status = lastStatus(stmt.lastCode());
    if (step != SqliteStatement::Step::row)
        return std::nullopt;
    return stmt.integer(0);
}

std::optional<std::string> SqliteDatabase::queryText(std::string_view sql, SqliteStatus* status)
{
    SqliteStatement stmt = prepare(sql, status);
    if (!stmt.valid())
        return std::nullopt;
    const SqliteStatement::Step step = stmt.step();
    if (step == SqliteStatement::Step::failed && status)
        *status = lastStatus(stmt.lastCode());
    if (step != SqliteStatement::Step::row)
        return std::nullopt;
    return std::string(stmt.text(0));
}

int64_t SqliteDatabase::lastInsertRowId() const
{
    return db ? sqlite3_last_insert_rowid(db) : 0;
}

int SqliteDatabase::changes() const
{
    return db ? sqlite3_changes(db) : 0;
}

SqliteStatus SqliteDatabase::lastStatus(int code) const
{
    if (code == SQLITE_OK)
        return {};
    std::string message = db && sqlite3_errcode(db) == code ? sqlite3_errmsg(db) : sqlite3_errstr(code);
    return {code, std::move(message)};
}

} // namespace pelimo
