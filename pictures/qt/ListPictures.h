#pragma once

#include "pictures/qt/PictureStore.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <string>

class QAbstractItemView;
class QHelpEvent;

namespace pelimo::pictures {

class PictureTip;

// The pictures of a listing list: a column of thumbnails while the setting is on, rows as tall
// as a thumbnail, and the larger picture in a row's tooltip. Only the rows on screen and at
// most one screen below them are asked for, the ones shown first, after each scroll or resize,
// and once rows or their data have stopped changing for a moment (at least once a second while
// they stream in); what scrolled away is withdrawn. A picture that failed shows nothing.
class ListPictures final : public QObject {
public:
    // A row's picture address (Shift-JIS), empty for none.
    using AddressOf = std::function<std::string(int row)>;
    // A row's tooltip text; the picture goes above it.
    using TipTextOf = std::function<QString(int row)>;

    // view, store and showSetting (a flag of the settings, read whenever the list is drawn)
    // outlive this object; column is the model's picture column.
    ListPictures(QAbstractItemView& view, int column, PictureStore& store, const int32_t& showSetting,
                 AddressOf addressOf, TipTextOf tipTextOf);
    ~ListPictures() override;
    ListPictures(const ListPictures&) = delete;
    ListPictures& operator=(const ListPictures&) = delete;

    int column() const { return pictureColumn; }
    // The row's thumbnail when it is in memory; a null image otherwise.
    QImage thumbnailOf(int row);
    // Asks for the rows on screen now, rather than at the next turn of the event loop.
    void requestShownRows();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applySetting();
    void scheduleRequests();
    void scheduleWhenSettled();
    void pictureArrived(const std::string& address);
    bool showTip(const QHelpEvent& help);
    void hideTip();

    QAbstractItemView& view;
    int pictureColumn;
    PictureStore& store;
    // The store may go first when the window goes, its lists with it.
    QPointer<PictureStore> storeAlive;
    const int32_t& showSetting;
    AddressOf addressOf;
    TipTextOf tipTextOf;
    bool shown = false;
    bool requestPending = false;
    QTimer settleTimer;
    QElapsedTimer changingSince; // valid while the rows change and nothing has been asked for
    int plainRowHeight = 0;
    std::string shownFirst; // the address of the first row asked for, to repaint when it comes
    QPointer<PictureTip> tip;
    int tipRow = -1;
    std::string tipAddress;
};

} // namespace pelimo::pictures
