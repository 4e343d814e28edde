#include "notify/AlarmText.h"

#include "NotifyTestTexts.h"

#include <gtest/gtest.h>

namespace pelimo {
namespace {

using namespace notify_test_text;

TEST(AlarmLine, ThreeLinesWithAFullWidthSpace)
{
    const ItemInfo listing{"x1", kNameCamera, kPriceYen1000, "NO", "", "1", "1", kRemain5Min};
    EXPECT_EQ(alarmLine(listing), std::string(kAlarmLineCamera));
}

} // namespace
} // namespace pelimo
