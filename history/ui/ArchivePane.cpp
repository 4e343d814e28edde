#include "history/ui/ArchivePane.h"

#include "HistoryUiTexts.h"
#include "history/ArchiveFilter.h"
#include "history/HistoryCsv.h"
#include "history/HistoryReads.h"
#include "history/HistoryStore.h"
#include "history/PriceStats.h"
#include "history/ui/ArchiveModel.h"
#include "history/ui/CsvSaveDialog.h"
#include "history/ui/PriceChartWindow.h"
#include "platform/qt/QtText.h"
#include "platform/text/SjisText.h"
#include "platform/text/TextFill.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QTableView>
#include <QVBoxLayout>

namespace pelimo {
namespace {

QString qs(const char* sjis)
{
    return platform::toQString(sjis);
}

std::string yen(const std::optional<int64_t>& amount)
{
    if (!amount)
        return history_ui_text::kArchiveNoPrice;
    return fillText(history_ui_text::kArchiveYen, {std::to_string(*amount)});
}

} // namespace

ArchivePane::ArchivePane(StatusSink sink, QWidget* parent)
    : QWidget(parent), showStatus(std::move(sink)), rows(new ArchiveModel(this)), filter(new QLineEdit(this)),
      view(new QTableView(this)), totals(new QLabel(this))
{
    setObjectName(QStringLiteral("archivePane"));
    filter->setObjectName(QStringLiteral("archiveFilter"));
    filter->setClearButtonEnabled(true);
    view->setObjectName(QStringLiteral("archiveTable"));
    view->setModel(rows);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setWordWrap(false);
    view->verticalHeader()->hide();
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 4);
    view->horizontalHeader()->setStretchLastSection(true);
    view->setSortingEnabled(true);
    view->sortByColumn(ArchiveModel::endedAt, Qt::DescendingOrder);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    const int widths[] = {90, 280, 80, 50, 70, 120, 100};
    for (int c = 0; c < static_cast<int>(std::size(widths)); ++c)
        view->setColumnWidth(c, widths[c]);
    totals->setObjectName(QStringLiteral("archiveSummary"));

    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(new QLabel(qs(history_ui_text::kArchiveFilter), this));
    filterRow->addWidget(filter, 1);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(2, 2, 2, 2);
    column->addLayout(filterRow);
    column->addWidget(view, 1);
    column->addWidget(totals);

    connect(filter, &QLineEdit::textChanged, this, [this](const QString& text) {
        rows->setFilter(platform::fromQString(text));
        updateSummary();
    });
    connect(view, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { showChart(index.row()); });
    connect(view, &QWidget::customContextMenuRequested, this, &ArchivePane::showContextMenu);
    updateSummary();
}

ArchivePane::~ArchivePane() = default;

void ArchivePane::setHistory(const HistoryStore* store, HistoryReads* worker)
{
    history = store;
    reads = worker;
    if (isVisible())
        reload();
}

void ArchivePane::reload()
{
    read(archiveRead.begin());
}

void ArchivePane::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Listings end while the pane is hidden; it shows the archive as it is now, or as the read
    // already under way brings it.
    if (const std::optional<LatestRead::Ticket> ticket = archiveRead.beginOnShow())
        read(*ticket);
}

void ArchivePane::read(LatestRead::Ticket ticket)
{
    if (history == nullptr || reads == nullptr) {
        archiveRead.finish(ticket);
        showRows(history != nullptr ? history->archiveRows() : std::vector<ArchiveRow>());
        return;
    }
    reads->read(
        [](const HistoryStore& store) {
            std::vector<ArchiveRow> archive = store.archiveRows();
            ArchiveFilter index(archive);
            return std::pair{std::move(archive), std::move(index)};
        },
        [self = QPointer<ArchivePane>(this), ticket](std::pair<std::vector<ArchiveRow>, ArchiveFilter> read) {
            if (!self || !self->archiveRead.finish(ticket))
                return;
            self->rows->setRows(std::move(read.first), std::move(read.second));
            self->updateSummary();
        });
    // Rows already shown stay until the new ones arrive; an empty pane says it is reading.
    if (rows->rows().empty())
        totals->setText(qs(history_ui_text::kArchiveLoading));
}

void ArchivePane::showRows(std::vector<ArchiveRow> archive)
{
    rows->setRows(std::move(archive));
    updateSummary();
}

void ArchivePane::updateSummary()
{
    const PriceStats stats = finalPriceStats(rows->rows(), rows->shownRows());
    totals->setText(platform::toQString(fillText(
        history_ui_text::kArchiveSummary, {static_cast<long long>(rows->shownRows().size()),
                                           yen(stats.median), yen(stats.lowest), yen(stats.highest)})));
}

void ArchivePane::showChart(int shownRow)
{
    const ArchiveRow* row = rows->rowAt(shownRow);
    if (row == nullptr || history == nullptr)
        return;
    showPriceChart(*history, row->itemNo, row->title, std::nullopt, window());
}

void ArchivePane::askAndSaveCsv()
{
    if (const std::optional<std::string> written =
            saveCsvWithDialog(this, [this] { return archiveCsv(rows->rows(), rows->shownRows()); }))
        showStatus(fillText(history_ui_text::kCsvWritten, {platform::utf8ToSjis(*written)}));
}

void ArchivePane::showContextMenu(const QPoint& pos)
{
    const int shownRow = view->indexAt(pos).row();
    // No child of the pane, which may go while the menu waits.
    QMenu menu;
    QAction* chart = menu.addAction(qs(history_ui_text::kMenuPriceChart));
    chart->setEnabled(shownRow >= 0 && history != nullptr);
    QAction* csv = menu.addAction(qs(history_ui_text::kMenuSaveCsv));
    const QPointer<ArchivePane> self(this);
    QAction* chosen = menu.exec(view->viewport()->mapToGlobal(pos));
    if (!self || chosen == nullptr)
        return;
    if (chosen == chart)
        showChart(shownRow);
    else if (chosen == csv)
        askAndSaveCsv();
}

} // namespace pelimo
