#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3_stmt;

namespace pelimo {

// One compiled statement with its parameters bound by position (1-based, as in SQL's "?N")
// and its rows read column by column (0-based). Movable, not copyable; finalized with the
// object. A statement that failed to compile is empty: every step on it fails.
class SqliteStatement {
public:
    enum class Step { row, done, failed };

    SqliteStatement() = default;
    explicit SqliteStatement(sqlite3_stmt* compiled) : stmt(compiled) {}
    ~SqliteStatement();
    SqliteStatement(SqliteStatement&& other) noexcept;
    SqliteStatement& operator=(SqliteStatement&& other) noexcept;
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    bool valid() const { return stmt != nullptr; }

    // Binding fails only for a position the statement does not have; the step then fails too.
    SqliteStatement& bind(int position, int64_t value);
    SqliteStatement& bind(int position, std::string_view text);        // copied by SQLite
    SqliteStatement& bind(int position, std::optional<int64_t> value); // nothing binds NULL
    SqliteStatement& bindNull(int position);

    Step step();
    // Steps to the end of a statement that returns no rows; the result code.
    int run();
    // Ready to bind and run again; the bound values are kept until bound anew.
    void reset();

    bool isNull(int column) const;
    int64_t integer(int column) const;
    std::optional<int64_t> optionalInteger(int column) const;
    // Valid until the next step or reset.
    std::string_view text(int column) const;

    // The result code of the last step.
    int lastCode() const { return code; }

private:
    sqlite3_stmt* stmt = nullptr;
    int code = 0;
    bool bindFailed = false;
};

} // namespace pelimo
