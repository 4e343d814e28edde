#include "notify/AlarmText.h"

#include "NotifyTexts.h"
#include "platform/text/TextFill.h"

namespace pelimo {

std::string_view alarmsTitle()
{
    return notify_text::kAlarmsTitle;
}

std::string_view newListingsTitle()
{
    return notify_text::kNewListingsTitle;
}

std::string alarmLine(const ItemInfo& record)
{
    return fillText(notify_text::kAlarmLine,
                    {record.ItemNo, record.ItemName, record.CurrentPrice, record.RemainTime});
}

std::string alarmBalloonText(const std::string& firstLine, int32_t notifiedCount)
{
    std::string text = firstLine;
    if (notifiedCount > 1)
        text += fillText(notify_text::kBalloonOthers, {static_cast<long long>(notifiedCount - 1)});
    return text;
}

} // namespace pelimo
