#pragma once

#include "history/HistoryRecords.h"

#include <QWidget>
#include <cstdint>
#include <optional>
#include <string>

class QChartView;

namespace pelimo {

class HistoryStore;

// A window of its own with one listing's price chart (see buildPriceChart). It deletes itself
// when closed; several may be open side by side.
class PriceChartWindow final : public QWidget {
    Q_OBJECT
public:
    // titleSjis names the listing in the window's caption.
    PriceChartWindow(const ListingHistory& history, const std::string& titleSjis,
                     std::optional<int64_t> ceiling, QWidget* parent = nullptr);
    PriceChartWindow(const PriceChartWindow&) = delete;
    PriceChartWindow& operator=(const PriceChartWindow&) = delete;

    QChartView* chartView() const { return view; }

private:
    QChartView* view;
};

// Reads the listing's history from the store and shows its chart window, raised; the window
// is returned (it owns itself). parent only places the window.
PriceChartWindow* showPriceChart(const HistoryStore& store, const std::string& itemNo,
                                 const std::string& titleSjis, std::optional<int64_t> ceiling,
                                 QWidget* parent);

} // namespace pelimo
