#include "history/ui/PriceChartWindow.h"

#include "HistoryUiTexts.h"
#include "history/HistoryStore.h"
#include "history/ui/PriceChart.h"
#include "platform/qt/QtText.h"
#include "platform/text/TextFill.h"

#include <QChart>
#include <QChartView>
#include <QVBoxLayout>

namespace pelimo {

PriceChartWindow::PriceChartWindow(const ListingHistory& history, const std::string& titleSjis,
                                   std::optional<int64_t> ceiling, QWidget* parent)
    : QWidget(parent, Qt::Window), view(new QChartView(this))
{
    setObjectName(QStringLiteral("priceChart"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(platform::toQString(fillText(history_ui_text::kChartCaption, {titleSjis})));
    QChart* chart = buildPriceChart(history, ceiling);
    if (history.observations.empty())
        chart->setTitle(platform::toQString(history_ui_text::kChartNoHistory));
    view->setChart(chart);
    view->setRenderHint(QPainter::Antialiasing, true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    resize(720, 420);
}

PriceChartWindow* showPriceChart(const HistoryStore& store, const std::string& itemNo,
                                 const std::string& titleSjis, std::optional<int64_t> ceiling,
                                 QWidget* parent)
{
    auto* window = new PriceChartWindow(store.listingHistory(itemNo), titleSjis, ceiling, parent);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

} // namespace pelimo
