// Pictures on the window's side: decoded at the sizes they are shown at, refused when they are
// no picture or claim more than the decoder may allocate, and the store that fetches, decodes
// and keeps them in memory within its bound.
#include "pictures/qt/PictureStore.h"
#include "platform/qt/PictureDecoder.h"
#include "platform/qt/QtEventPump.h"
#include "tests/support/PictureServer.h"
#include "tests/support/TempFolder.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QtEndian>
#include <QtTest>
#include <array>

namespace pelimo {
namespace {

QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QByteArray photo(int width, int height, const char* format)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, Qt::darkBlue);
    gradient.setColorAt(1, Qt::yellow);
    painter.fillRect(image.rect(), gradient);
    painter.end();
    return encoded(image, format);
}

quint32 crc32(const QByteArray& bytes)
{
    quint32 crc = 0xffffffffu;
    for (const char c : bytes) {
        crc ^= static_cast<quint8>(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray pngChunk(const char* type, const QByteArray& data)
{
    QByteArray body = QByteArray(type) + data;
    std::array<uchar, 4> length{};
    std::array<uchar, 4> crc{};
    qToBigEndian<quint32>(static_cast<quint32>(data.size()), length.data());
    qToBigEndian<quint32>(crc32(body), crc.data());
    return QByteArray(reinterpret_cast<const char*>(length.data()), 4) + body +
           QByteArray(reinterpret_cast<const char*>(crc.data()), 4);
}

// A PNG of a few dozen bytes whose header claims the size, with a token of pixel data.
QByteArray pngHeaderOnly(quint32 width, quint32 height, quint8 bitDepth)
{
    std::array<uchar, 13> header{};
    qToBigEndian<quint32>(width, header.data());
    qToBigEndian<quint32>(height, header.data() + 4);
    header[8] = bitDepth;
    header[9] = 6; // RGBA
    return QByteArray("\x89PNG\r\n\x1a\n", 8) +
           pngChunk("IHDR", QByteArray(reinterpret_cast<const char*>(header.data()), 13)) +
           pngChunk("IDAT", QByteArray("\x78\x9c\x03\x00\x00\x00\x00\x01", 8)) +
           pngChunk("IEND", QByteArray());
}

} // namespace

class PictureDecodeTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { platform::installQtEventPump(); }

    void decodedAtTheSizesShown_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("tooltip");
        QTest::addColumn<QSize>("thumbnail");
        QTest::newRow("large JPEG") << photo(4000, 3000, "JPG") << QSize(300, 225) << QSize(48, 36);
        QTest::newRow("tall PNG") << photo(100, 400, "PNG") << QSize(75, 300) << QSize(12, 48);
        QTest::newRow("small PNG, never enlarged")
            << photo(120, 90, "PNG") << QSize(120, 90) << QSize(48, 36);
        QTest::newRow("tiny BMP") << photo(30, 20, "BMP") << QSize(30, 20) << QSize(30, 20);
    }

    void decodedAtTheSizesShown()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, tooltip);
        QFETCH(QSize, thumbnail);
        const std::optional<platform::DecodedPicture> picture = platform::decodePicture(bytes);
        QVERIFY(picture);
        QCOMPARE(picture->tooltip.size(), tooltip);
        QCOMPARE(picture->thumbnail.size(), thumbnail);
    }

    void refusedWithoutAllocating_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("byTheLimit"); // the reader's allocation limit says no
        QTest::newRow("not a picture") << QByteArray("<html><body>Not Found</body></html>") << false;
        QTest::newRow("nothing") << QByteArray() << false;
        QTest::newRow("PNG cut short") << photo(200, 200, "PNG").left(300) << false;
        QTest::newRow("PNG claiming 30000x30000") << pngHeaderOnly(30000, 30000, 8) << false;
        // Within the pixels a picture may have, but 128 MiB at 16 bits a channel.
        QTest::newRow("PNG of 16 megapixels at 16 bits") << pngHeaderOnly(4096, 4096, 16) << true;
    }

    void refusedWithoutAllocating()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, byTheLimit);
        if (byTheLimit)
            QTest::ignoreMessage(QtWarningMsg,
                                 QRegularExpression(QStringLiteral("exceeds the current allocation limit")));
        QVERIFY(!platform::decodePicture(bytes));
    }

    // The store end to end: fetched, decoded off the window's thread, announced, kept; the
    // larger size comes from the disk cache; bytes that are no picture fail for good.
    void storeFetchesDecodesAndKeeps()
    {
        test::PictureServer server;
        QVERIFY(server.running());
        server.setBody([](const std::string&) { return photo(640, 480, "JPG").toStdString(); });
        server.answer("page", 200, "<html>moved</html>");
        test::TempFolder folder("picture-store");
        pictures::PictureStore::Options options;
        options.diskFolder = folder.path();
        // Room for three thumbnails of 48x36.
        options.thumbnailBytes = 3 * 48 * 36 * 4;
        pictures::PictureStore store(options);
        QSignalSpy ready(&store, &pictures::PictureStore::pictureReady);
        QSignalSpy failed(&store, &pictures::PictureStore::pictureFailed);
        const int list = 0;

        const std::string first = server.url("1");
        QVERIFY(store.picture(first, pictures::PictureStore::Size::thumbnail, &list).isNull());
        QTRY_COMPARE(ready.count(), 1);
        QCOMPARE(ready.at(0).at(0).value<std::string>(), first);
        QCOMPARE(store.picture(first, pictures::PictureStore::Size::thumbnail).size(), QSize(48, 36));

        QVERIFY(store.picture(first, pictures::PictureStore::Size::tooltip, &list).isNull());
        QTRY_COMPARE(ready.count(), 2);
        QCOMPARE(store.picture(first, pictures::PictureStore::Size::tooltip).size(), QSize(300, 225));
        QCOMPARE(store.counts().fromCache, size_t{1});
        QCOMPARE(server.requests().size(), size_t{1});

        std::vector<std::string> rows;
        for (int n = 2; n <= 8; ++n)
            rows.push_back(server.url(std::to_string(n)));
        store.showOnly(&list, rows);
        QTRY_VERIFY(store.idle());
        QCOMPARE(ready.count(), 9);
        QVERIFY(store.memoryBytes() <= options.thumbnailBytes + options.tooltipBytes);

        const std::string page = server.url("page");
        QVERIFY(store.picture(page, pictures::PictureStore::Size::thumbnail, &list).isNull());
        QTRY_COMPARE(failed.count(), 1);
        QVERIFY(store.hasFailed(page));
        const size_t requests = server.requests().size();
        QVERIFY(store.picture(page, pictures::PictureStore::Size::tooltip, &list).isNull());
        QTest::qWait(100);
        QCOMPARE(server.requests().size(), requests);
        QCOMPARE(failed.count(), 1);
    }
};

} // namespace pelimo

QTEST_GUILESS_MAIN(pelimo::PictureDecodeTest)
#include "PictureDecodeTest.moc"
