#include "history/SqliteTransaction.h"

#include <sqlite3.h>

namespace pelimo {

SqliteTransaction::SqliteTransaction(SqliteDatabase& database) : db(database)
{
    beginStatus = db.exec("BEGIN IMMEDIATE");
    open = beginStatus.ok();
}

SqliteTransaction::~SqliteTransaction()
{
    if (open)
        db.exec("ROLLBACK");
}

SqliteStatus SqliteTransaction::commit()
{
    if (!open)
        return beginStatus.ok() ? SqliteStatus{SQLITE_MISUSE, "already ended"} : beginStatus;
    SqliteStatus status = db.exec("COMMIT");
    // A failed COMMIT leaves the transaction open (SQLITE_BUSY) or already rolled back; the
    // destructor's ROLLBACK ends the first and is harmless after the second.
    open = !status.ok();
    return status;
}

} // namespace pelimo
