#include "app/LayoutMemory.h"

#include "app/CMainFrame.h"
#include "app/CRkCmdDialog.h"
#include "app/CRkFormView.h"
#include "app/WindowLayout.h"
#include "files/UserFile.h"
#include "platform/FileSystem.h"
#include "watch/ui/CRkAramList.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>

namespace pelimo {

namespace {

constexpr size_t kMaxLayoutBytes = 64 * 1024;

std::string layoutPath()
{
    return userFilePath({}, kWindowLayoutFile);
}

ScreenRect screenRectOf(const QRect& r)
{
    return {r.x(), r.y(), r.width(), r.height()};
}

std::vector<int> columnWidths(const QHeaderView& header)
{
    std::vector<int> widths;
    for (int i = 0; i < header.count(); ++i)
        widths.push_back(header.sectionSize(i));
    return widths;
}

} // namespace

void restoreWindowLayout(CMainFrame& frame)
{
    const std::string path = layoutPath();
    if (path.empty())
        return;
    const std::optional<std::string> text = platform::readWholeFile(path, kMaxLayoutBytes);
    if (!text)
        return;
    const WindowLayout layout = parseWindowLayout(*text);

    if (layout.geometry) {
        std::vector<ScreenRect> screens;
        for (const QScreen* screen : QGuiApplication::screens())
            screens.push_back(screenRectOf(screen->availableGeometry()));
        const ScreenRect& g = *layout.geometry;
        // A place on a screen that is gone, or a size no screen has room for, keeps the default.
        if (fitsAnyScreen(g, screens))
            frame.setGeometry(g.x, g.y, g.width, g.height);
    }
    if (layout.maximized)
        frame.setWindowState(frame.windowState() | Qt::WindowMaximized);
    if (layout.splitterSizes.size() == static_cast<size_t>(frame.splitter()->count()))
        frame.splitter()->setSizes(QList<int>(layout.splitterSizes.begin(), layout.splitterSizes.end()));

    if (CRkAramList* watch = frame.formView()->watchList()) {
        for (size_t i = 0; i < layout.watchColumns.size() && static_cast<int>(i) < watch->header()->count();
             ++i)
            watch->header()->resizeSection(static_cast<int>(i), layout.watchColumns[i]);
        if (layout.watchSortColumn)
            watch->sortBy(*layout.watchSortColumn, layout.watchSortDescending);
    }
    frame.formView()->setResultColumnWidths(layout.resultColumns);

    CRkCmdDialog& bar = *frame.cmdBar();
    bar.applyOptions(layout.typeFlags.value_or(std::string()), layout.lotNumber, layout.priceLow,
                     layout.priceHigh);
    if (layout.paneMode == 1 && bar.paneMode() != 1)
        bar.alertButton()->click();
    else if (layout.paneMode == 2 && bar.paneMode() != 2)
        bar.archiveButton()->click();
}

void saveWindowLayout(const CMainFrame& frame)
{
    WindowLayout layout;
    const QRect normal = frame.isMaximized() ? frame.normalGeometry() : frame.geometry();
    if (normal.isValid())
        layout.geometry = screenRectOf(normal);
    layout.maximized = frame.isMaximized();
    for (int size : frame.splitter()->sizes())
        layout.splitterSizes.push_back(size);
    if (const CRkAramList* watch = frame.formView()->watchList()) {
        layout.watchColumns = columnWidths(*watch->header());
        if (const auto sort = watch->sortState()) {
            layout.watchSortColumn = sort->first;
            layout.watchSortDescending = sort->second;
        }
    }
    layout.resultColumns = frame.formView()->resultColumnWidths();

    const CRkCmdDialog& bar = *frame.cmdBar();
    const CommandBarOptions options = bar.options();
    layout.typeFlags = options.typeFlags;
    layout.lotNumber = options.lotNumber;
    layout.priceLow = options.priceLow;
    layout.priceHigh = options.priceHigh;
    layout.paneMode = bar.paneMode() == 1 || bar.paneMode() == 2 ? bar.paneMode() : 0;

    const std::string path = layoutPath();
    if (!path.empty())
        saveUserFile(path, formatWindowLayout(layout));
}

} // namespace pelimo
