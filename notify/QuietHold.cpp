#include "notify/QuietHold.h"

#include "NotifyTexts.h"
#include "notify/AlarmText.h"
#include "platform/text/TextFill.h"

#include <algorithm>

namespace pelimo {

void QuietHold::holdAlert(const ItemInfo& alarmed, int32_t count)
{
    if (!hasAlert)
        first = alarmed;
    hasAlert = true;
    alerted += std::max(count, 1);
}

void QuietHold::holdBatch(const std::string& batchText, const std::string& itemNo, const std::string& picture,
                          int32_t count)
{
    if (batchText.empty())
        return;
    if (text.empty()) {
        firstItemNo = itemNo;
        firstPicture = picture;
    }
    text += batchText;
    batched += std::max(count, 1);
}

std::string QuietHold::title() const
{
    // The desktop alert and the mail tell the same alarms, each once; either may be off.
    return fillText(notify_text::kQuietSummaryTitle, {static_cast<long long>(std::max(alerted, batched))});
}

std::string QuietHold::alertText() const
{
    return alarmBalloonText(alarmLine(first), std::max(alerted, batched));
}

} // namespace pelimo
