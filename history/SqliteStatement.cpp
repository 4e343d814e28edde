#include "history/SqliteStatement.h"

#include <sqlite3.h>
#include <utility>

namespace pelimo {

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(stmt);
}

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : stmt(std::exchange(other.stmt, nullptr)), code(other.code), bindFailed(other.bindFailed)
{}

SqliteStatement& SqliteStatement::operator=(SqliteStatement&& other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(stmt);
        stmt = std::exchange(other.stmt, nullptr);
        code = other.code;
        bindFailed = other.bindFailed;
    }
    return *this;
}

SqliteStatement& SqliteStatement::bind(int position, int64_t value)
{
    if (!stmt || sqlite3_bind_int64(stmt, position, value) != SQLITE_OK)
        bindFailed = true;
    return *this;
}

SqliteStatement& SqliteStatement::bind(int position, std::string_view text)
{
    // A null data pointer would bind NULL; an empty text must stay a text.
    const char* data = text.data() ? text.data() : "";
    if (!stmt ||
        sqlite3_bind_text64(stmt, position, data, text.size(), SQLITE_TRANSIENT, SQLITE_UTF8) != SQLITE_OK)
        bindFailed = true;
    return *this;
}

SqliteStatement& SqliteStatement::bind(int position, std::optional<int64_t> value)
{
    return value ? bind(position, *value) : bindNull(position);
}

SqliteStatement& SqliteStatement::bindNull(int position)
{
    if (!stmt || sqlite3_bind_null(stmt, position) != SQLITE_OK)
        bindFailed = true;
    return *this;
}

SqliteStatement::Step SqliteStatement::step()
{
    if (!stmt) {
        code = SQLITE_MISUSE;
        return Step::failed;
    }
    if (bindFailed) {
        code = SQLITE_RANGE;
        return Step::failed;
    }
    code = sqlite3_step(stmt);
    if (code == SQLITE_ROW)
        return Step::row;
    return code == SQLITE_DONE ? Step::done : Step::failed;
}

int SqliteStatement::run()
{
    Step s;
    while ((s = step()) == Step::row) {
    }
    const int result = s == Step::done ? SQLITE_OK : code;
    reset();
    return result;
}

void SqliteStatement::reset()
{
    if (stmt)
        sqlite3_reset(stmt);
    bindFailed = false;
}

bool SqliteStatement::isNull(int column) const
{
    return sqlite3_column_type(stmt, column) == SQLITE_NULL;
}

int64_t SqliteStatement::integer(int column) const
{
    return sqlite3_column_int64(stmt, column);
}

std::optional<int64_t> SqliteStatement::optionalInteger(int column) const
{
    if (isNull(column))
        return std::nullopt;
    return integer(column);
}

std::string_view SqliteStatement::text(int column) const
{
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    if (!data)
        return {};
    return {data, static_cast<size_t>(sqlite3_column_bytes(stmt, column))};
}

} // namespace pelimo
