#pragma once

#include "notify/quiet/QuietHours.h"
#include "xmlclient/ItemInfo.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace pelimo {

// One batch of alarms as the alert mail and the push carry it: a watch cycle's, a fast
// tick's, or what a cycle's saved-search runs found together with the cycle's own.
struct AlarmBatch {
    std::string titleSjis;   // the push's title: the alarms' or the new listings' title
    std::string text;        // Shift-JIS lines, the mail's body and the push's
    std::string firstItemNo; // the listing the push opens; empty: none
    int32_t count = 1;       // the alarms the text tells
    // nearEnd when the batch tells a remaining-time alarm: a listing about to end is not held
    // back by the quiet period (when the user lets those through), nor are the alarms with it.
    AlarmKind kind = AlarmKind::other;
    std::string firstPicture; // that listing's picture address, which the push attaches
};

// Where every alarm of the program goes out: the alert on the desktop, the alert mail and the
// push. The watch list and the saved searches are given one; a rule over all the ways an
// alarm is told (which of them the settings turn on, a period in which they are held) lives
// behind it. Called on the window's thread; no call waits on the network.
class AlarmNotifier {
public:
    virtual ~AlarmNotifier() = default;

    // The tray's balloon or a desktop notification under the title, naming first, of count
    // alarms; kind is nearEnd when one of them is a remaining-time alarm, as for a batch.
    virtual void showAlert(std::string_view titleSjis, const std::string& textSjis, const ItemInfo& first,
                           int32_t count, AlarmKind kind) = 0;
    // The alert mail and the push of a batch; nothing for an empty text. Returns at once: the
    // transfers run elsewhere, and their progress and failures reach the status bar later, in
    // the order they happen.
    virtual void sendAlarms(const AlarmBatch& alarms) = 0;
};

} // namespace pelimo
