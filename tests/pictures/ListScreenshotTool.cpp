// Writes a picture of a result list with its picture column: list_pictures_screenshot <folder>
// (offscreen: QT_QPA_PLATFORM=offscreen). The listings' pictures come from a loopback server.
#include "pictures/qt/PictureStore.h"
#include "platform/qt/QtEventPump.h"
#include "platform/text/SjisText.h"
#include "search/CRkItemList.h"
#include "search/SearchListHost.h"
#include "settings/EnvSettings.h"
#include "settings/SettingsStore.h"
#include "tests/support/PictureServer.h"
#include "tests/support/TempFolder.h"
#include "xmlclient/Endpoints.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace pelimo;

class NoWatchHost final : public SearchListHost {
public:
    bool isWatched(const std::string&) const override { return false; }
    void addToWatchList(const ItemInfo&) override {}
    void showItem(int32_t, const ItemInfo&) override {}
};

// A product shot of sorts: an object of the listing's own colour on a light backdrop.
std::string productPicture(int n)
{
    QImage image(400, 300, QImage::Format_RGB32);
    image.fill(QColor(236, 234, 228));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor colour = QColor::fromHsv((n * 47) % 360, 150, 200);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 40));
    p.drawEllipse(QRectF(90, 230, 220, 30));
    p.setBrush(colour);
    if (n % 3 == 0) {
        p.drawRoundedRect(QRectF(110, 70, 180, 170), 18, 18);
        p.setBrush(colour.darker(140));
        p.drawEllipse(QRectF(160, 115, 80, 80));
    } else if (n % 3 == 1) {
        p.drawEllipse(QRectF(110, 60, 180, 180));
        p.setBrush(colour.lighter(130));
        p.drawEllipse(QRectF(150, 90, 60, 60));
    } else {
        QPainterPath body;
        body.moveTo(200, 50);
        body.lineTo(300, 240);
        body.lineTo(100, 240);
        body.closeSubpath();
        p.drawPath(body);
    }
    p.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 85);
    return bytes.toStdString();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    platform::installQtEventPump();
    if (argc != 2) {
        std::fprintf(stderr, "usage: list_pictures_screenshot <folder>\n");
        return 2;
    }
    test::PictureServer server;
    if (!server.running())
        return 1;
    server.setBody([](const std::string& name) { return productPicture(std::stoi(name)); });
    test::TempFolder cache("list-screenshot");
    pictures::PictureStore::Options options;
    options.diskFolder = cache.path();
    pictures::PictureStore store(options);

    const char* names[] = {"フィルムカメラ 一眼レフ ボディ",
                           "ミニカー 1/43 限定品",
                           "陶器 花瓶 手作り",
                           "腕時計 自動巻き 美品",
                           "ヘッドホン 密閉型",
                           "文庫本 まとめ売り 20冊",
                           "ギター用エフェクター",
                           "革財布 二つ折り",
                           "ボードゲーム 未開封",
                           "万年筆 細字"};
    const EnvSettings settings = defaultSettings();
    Endpoints endpoints;
    NoWatchHost host;
    CRkItemList list(nullptr, CRkItemList::kFirstControlId, settings, endpoints, host);
    list.setPictures(store);
    std::vector<ItemInfo> records;
    for (int n = 0; n < 10; ++n) {
        ItemInfo r;
        r.ItemNo = "e" + std::to_string(81234500 + n * 37);
        r.ItemName = platform::utf8ToSjis(names[n]);
        r.CurrentPrice = platform::utf8ToSjis(std::to_string(1200 + n * 850) + "円");
        r.AuctionType = n % 4 == 0 ? "FP" : "NO";
        r.ItemNum = "1";
        r.BidNum = std::to_string(n * 3 % 7);
        r.RemainTime = platform::utf8ToSjis(std::to_string(n + 1) + "日");
        r.ImageUrl = server.url(std::to_string(n));
        records.push_back(r);
    }
    list.addPage(records);
    list.resize(830, 420);
    list.show();
    QElapsedTimer clock;
    clock.start();
    while ((!store.idle() || store.counts().fetched < 8) && clock.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QCoreApplication::processEvents();
    const std::string path = std::string(argv[1]) + "/pictures.png";
    if (!list.grab().save(QString::fromStdString(path))) {
        std::fprintf(stderr, "could not write %s\n", path.c_str());
        return 1;
    }
    std::printf("%s\n", path.c_str());
    return 0;
}
