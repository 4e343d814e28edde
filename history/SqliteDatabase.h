#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;

namespace pelimo {

class SqliteStatement;

// The outcome of a database call: SQLite's result code and, on failure, its message.
struct SqliteStatus {
    int code = 0; // SQLITE_OK
    std::string message;

    bool ok() const { return code == 0; }
    // The file is not a database or its pages do not hold together: it cannot be used as it is.
    bool damaged() const;
};

// One connection to a database file, through SQLite's C API. Not copyable; closed with the
// object. Every call reports failure as a status, never by throwing.
class SqliteDatabase {
public:
    enum class Mode { readWrite, readOnly };

    SqliteDatabase() = default;
    ~SqliteDatabase();
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    // readWrite creates a missing file; readOnly never writes to the file.
    SqliteStatus open(const std::string& path, Mode mode);
    void close();
    bool isOpen() const { return db != nullptr; }
    // From now on, a statement under way stops (SQLITE_INTERRUPT) soon after the flag is set;
    // the flag outlives the connection.
    void stopWhen(const std::atomic<bool>* flag);

    // Runs statements without parameters or results (schema, pragmas, transaction control).
    SqliteStatus exec(std::string_view sql);
    // Compiles one statement; an empty statement on failure, with the status saying why.
    SqliteStatement prepare(std::string_view sql, SqliteStatus* status = nullptr);

    // The first column of the first row of a statement without parameters, read as a
    // number or as a text; nothing on failure or without a row.
    std::optional<int64_t> queryInteger(std::string_view sql, SqliteStatus* status = nullptr);
    std::optional<std::string> queryText(std::string_view sql, SqliteStatus* status = nullptr);

    int64_t lastInsertRowId() const;
    int changes() const;
    // The status of the last call that failed on this connection.
    SqliteStatus lastStatus(int code) const;

    sqlite3* handle() const { return db; }

private:
    sqlite3* db = nullptr;
};

} // namespace pelimo
