#include "history/PriceStats.h"
#include "history/ui/ArchiveModel.h"
#include "history/ui/PriceChart.h"
#include "platform/text/NormalizedTitle.h"
#include "platform/text/SjisText.h"

#include <gtest/gtest.h>

namespace pelimo {
namespace {

ArchiveRow ended(std::string itemNo, const char* titleUtf8, std::optional<int64_t> price, int64_t endedAt)
{
    ArchiveRow row;
    row.itemNo = std::move(itemNo);
    row.title = platform::utf8ToSjis(titleUtf8);
    row.titleKey = normalizedTitle(row.title);
    row.auctionType = "NO";
    row.finalPrice = price;
    row.endedAt = HistoryTime{std::chrono::seconds(endedAt)};
    return row;
}

std::vector<std::string> shownItemNos(const ArchiveModel& model)
{
    std::vector<std::string> numbers;
    for (const uint32_t i : model.shownRows())
        numbers.push_back(model.rows()[i].itemNo);
    return numbers;
}

// The archive as the pane shows it: a filter typed in full width narrows to the matching
// titles in the sorted order, the sort keeps to the filter, and the figures below count only
// the rows shown with a final price.
TEST(ArchiveModelTest, FilterAndSortAgreeAndTheFiguresFollowTheRowsShown)
{
    ArchiveModel model;
    model.setRows({ended("a", "PS5 本体", 41000, 400), ended("b", "ps5 コントローラ", 6000, 300),
                   ended("c", "カメラ", 18000, 200), ended("d", "PS5 ソフト", std::nullopt, 100)});
    EXPECT_EQ(shownItemNos(model), (std::vector<std::string>{"a", "b", "c", "d"})) << "latest end first";

    model.setFilter(platform::utf8ToSjis("ＰＳ５"));
    EXPECT_EQ(shownItemNos(model), (std::vector<std::string>{"a", "b", "d"}));
    model.sort(ArchiveModel::finalPrice, Qt::AscendingOrder);
    EXPECT_EQ(shownItemNos(model), (std::vector<std::string>{"d", "b", "a"})) << "no price before any";
    const PriceStats stats = finalPriceStats(model.rows(), model.shownRows());
    EXPECT_EQ(stats.count, 2);
    EXPECT_EQ(stats.median, 23500);
    EXPECT_EQ(stats.lowest, 6000);
    EXPECT_EQ(stats.highest, 41000);

    model.setFilter("");
    EXPECT_EQ(shownItemNos(model), (std::vector<std::string>{"d", "b", "c", "a"}));
    EXPECT_EQ(model.rowCount(), 4);
}

// A long history drawn thinned keeps its highest peak and lowest dip, its first and last
// point, and the time order.
TEST(PriceChartTest, ThinningKeepsPeaksEndsAndOrder)
{
    QList<QPointF> line;
    for (int i = 0; i < 20000; ++i)
        line << QPointF(i, 1000 + (i % 97));
    line[12345].setY(99999);
    line[777].setY(1);
    const QList<QPointF> thinned = thinnedForDrawing(line, 4000);
    ASSERT_LE(thinned.size(), 4004);
    EXPECT_EQ(thinned.front(), line.front());
    EXPECT_EQ(thinned.back(), line.back());
    EXPECT_TRUE(thinned.contains(line[12345]));
    EXPECT_TRUE(thinned.contains(line[777]));
    for (qsizetype i = 1; i < thinned.size(); ++i)
        ASSERT_LT(thinned[i - 1].x(), thinned[i].x());
    EXPECT_EQ(thinnedForDrawing(line.mid(0, 100), 4000), line.mid(0, 100));
}

// The step line holds each price until the next and, for an ended listing, until its end.
TEST(PriceChartTest, StepsHoldEachPriceUntilTheNextAndTheEnd)
{
    ListingHistory history;
    const HistoryTime t0{std::chrono::seconds(1000)};
    history.observations = {{t0, 100, 0, ""},
                            {t0 + std::chrono::seconds(60), std::nullopt, 1, ""},
                            {t0 + std::chrono::seconds(120), 150, 2, ""}};
    history.endedAt = t0 + std::chrono::seconds(300);
    const QList<QPointF> prices = stepPoints(history, ChartValue::price);
    const QList<QPointF> expected{{1000e3, 100}, {1120e3, 100}, {1120e3, 150}, {1300e3, 150}};
    EXPECT_EQ(prices, expected);
}

} // namespace
} // namespace pelimo
