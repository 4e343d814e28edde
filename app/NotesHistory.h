#pragma once

#include "history/HistoryStore.h"

#include <QObject>
#include <functional>
#include <string>
#include <thread>

namespace pelimo {

// The history store as far as the watch list's notes need it: history.db beside AramList.xml,
// opened off the window's thread (opening checks the whole file), then handed to the window.
class NotesHistory final : public QObject {
public:
    // folder: the data folder, empty for the current directory.
    NotesHistory(std::string folder, QObject* parent);
    ~NotesHistory() override;
    NotesHistory(const NotesHistory&) = delete;
    NotesHistory& operator=(const NotesHistory&) = delete;

    // Opens the file; ready runs on the window's thread with the store, or with nothing when
    // the file cannot be used, and with a status text (Shift-JIS) to show when there is one.
    void open(std::function<void(HistoryStore* store, const std::string& statusSjis)> ready);

private:
    std::string folder;
    HistoryStore store;
    std::thread opener; // joined before the store goes
};

} // namespace pelimo
