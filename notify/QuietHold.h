#pragma once

#include "xmlclient/ItemInfo.h"

#include <cstdint>
#include <string>

namespace pelimo {

// What the quiet period has held back, to be told as one summary when it ends. Held alarms
// live in memory only: a program ended in the period does not tell them at its next start.
class QuietHold {
public:
    // A desktop alert of count alarms, naming first.
    void holdAlert(const ItemInfo& first, int32_t count);
    // A batch of count alarms for the mail and the push, its text as it would have gone.
    void holdBatch(const std::string& text, const std::string& firstItemNo, const std::string& firstPicture,
                   int32_t count);

    bool empty() const { return !hasAlert && text.empty(); }
    bool hasAlertHeld() const { return hasAlert; }
    // The summary's title, "...（N件）": N counts the alarms once, however many ways they were
    // to be told.
    std::string title() const;
    // The desktop alert: the first held listing's alarm line and the count of the others.
    std::string alertText() const;
    const ItemInfo& firstAlerted() const { return first; }
    // The held batches' texts in the order they came, for the mail and the push.
    const std::string& batchText() const { return text; }
    const std::string& firstBatchItemNo() const { return firstItemNo; }
    const std::string& firstBatchPicture() const { return firstPicture; }

private:
    bool hasAlert = false;
    ItemInfo first;
    int32_t alerted = 0;
    std::string text;
    std::string firstItemNo;
    std::string firstPicture;
    int32_t batched = 0;
};

} // namespace pelimo
