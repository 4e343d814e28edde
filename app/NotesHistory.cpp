#include "app/NotesHistory.h"

#include "history/HistoryStatus.h"

#include <QMetaObject>

namespace pelimo {

NotesHistory::NotesHistory(std::string dataFolder, QObject* parent)
    : QObject(parent), folder(std::move(dataFolder))
{}

NotesHistory::~NotesHistory()
{
    if (opener.joinable())
        opener.join();
}

void NotesHistory::open(std::function<void(HistoryStore*, const std::string&)> ready)
{
    if (opener.joinable())
        return;
    // Resolved now: the current directory is the data folder's when it is empty.
    const std::string path = historyFilePath(folder);
    opener = std::thread([this, path, ready = std::move(ready)] {
        HistoryFileOpen opened;
        if (!path.empty())
            opened = store.open(path, 0); // notes only: nothing is pruned
        std::string status;
        if (opened.outcome == HistoryFileOpen::Outcome::movedAside)
            status = historyMovedAsideStatus(opened.movedTo);
        else if (opened.outcome == HistoryFileOpen::Outcome::unavailable)
            status = historyUnavailableStatus();
        // Dropped with this object's other pending events when it goes first.
        QMetaObject::invokeMethod(
            this, [this, ready, status] { ready(store.isOpen() ? &store : nullptr, status); },
            Qt::QueuedConnection);
    });
}

} // namespace pelimo
