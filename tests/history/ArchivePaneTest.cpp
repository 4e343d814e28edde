#include "history/ui/ArchivePane.h"

#include "HistoryTestTexts.h"
#include "history/HistoryReads.h"
#include "history/HistoryStore.h"
#include "history/ui/ArchiveModel.h"
#include "history/ui/WindowThreadDelivery.h"
#include "tests/support/TempFolder.h"
#include "xmlclient/ItemInfo.h"

#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <memory>

namespace pelimo {

using namespace std::chrono_literals;
using namespace history_test_text;

// The archive pane reading on the history's worker, as the program runs it.
class ArchivePaneTest final : public QObject {
    Q_OBJECT

private:
    void archive(const std::string& itemNo)
    {
        HistoryBatch sighting = store->openBatch(ListingOrigin::watchList());
        sighting.record(ItemInfo{itemNo, kTitleCamera, kPrice1000, "NO", "", "1", "1", kRemain10Minutes});
        store->commit(sighting);
        now += 20min;
        HistoryBatch ended = store->openBatch(ListingOrigin::watchList());
        ended.archiveEnded(itemNo);
        QCOMPARE(store->commit(ended).archived, 1);
    }

    std::unique_ptr<test::TempFolder> folder;
    HistoryTime now{std::chrono::seconds(1740830709)};
    std::unique_ptr<HistoryStore> store;
    std::atomic<int> delivered{0};
    std::unique_ptr<HistoryReads> reads;
    std::unique_ptr<ArchivePane> pane;

private slots:
    void init()
    {
        folder = std::make_unique<test::TempFolder>("pelimo-archive-pane");
        store = std::make_unique<HistoryStore>([this] { return now; });
        const std::string path = folder->file("history.db");
        QCOMPARE(store->open(path, 365).outcome, HistoryFileOpen::Outcome::opened);
        delivered = 0;
        reads = std::make_unique<HistoryReads>(path, [this](HistoryReads::Task task) {
            ++delivered;
            windowThreadDelivery()(std::move(task));
        });
        pane = std::make_unique<ArchivePane>([](const std::string&) {}, nullptr);
        pane->setHistory(store.get(), reads.get());
    }

    // Shown, the pane fills in when the read arrives; shown again while it is under way, it
    // asks for no second read.
    void showsTheArchiveWhenReadAndOneReadServesRepeatedShows()
    {
        archive("e1");
        archive("e2");
        pane->show();
        QVERIFY(pane->reading());
        pane->hide();
        pane->show();
        QTRY_COMPARE(pane->model()->rowCount(), 2);
        QVERIFY(!pane->reading());
        QVERIFY(reads->waitIdle(std::chrono::milliseconds(5000)));
        QCOMPARE(delivered.load(), 1);
    }

    // A reload while a read is under way: the earlier read's rows are never shown, only the
    // latest ones.
    void aStaleReadIsDropped()
    {
        archive("e1");
        pane->show();
        archive("e2");
        QSignalSpy resets(pane->model(), &QAbstractItemModel::modelReset);
        pane->reload();
        QTRY_COMPARE(pane->model()->rowCount(), 2);
        QVERIFY(reads->waitIdle(std::chrono::milliseconds(5000)));
        QCoreApplication::processEvents();
        QCOMPARE(delivered.load(), 2);
        QCOMPARE(resets.count(), 1);
    }

    void cleanup()
    {
        pane.reset();
        reads.reset();
        store.reset();
        folder.reset();
    }
};

} // namespace pelimo

QTEST_MAIN(pelimo::ArchivePaneTest)
#include "ArchivePaneTest.moc"
