#pragma once

#include "history/SqliteDatabase.h"

namespace pelimo {

// A write transaction that is rolled back unless committed: BEGIN IMMEDIATE takes the write
// lock at once, so a commit cannot fail for a lock taken by another connection meanwhile.
class SqliteTransaction {
public:
    explicit SqliteTransaction(SqliteDatabase& db);
    ~SqliteTransaction();
    SqliteTransaction(const SqliteTransaction&) = delete;
    SqliteTransaction& operator=(const SqliteTransaction&) = delete;

    // Whether BEGIN succeeded; nothing may be written when it did not.
    const SqliteStatus& began() const { return beginStatus; }
    SqliteStatus commit();

private:
    SqliteDatabase& db;
    SqliteStatus beginStatus;
    bool open = false;
};

} // namespace pelimo
