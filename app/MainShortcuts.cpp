#include "app/MainShortcuts.h"

#include "app/CMainFrame.h"
#include "app/CRkCmdDialog.h"
#include "app/CRkFormView.h"
#include "search/CRkTabCtrl.h"

#include <QKeySequence>
#include <QShortcut>
#include <functional>

namespace pelimo {

namespace {

void addShortcut(CMainFrame& frame, const QKeySequence& keys, std::function<void()> action)
{
    auto* shortcut = new QShortcut(keys, &frame);
    // Also while a dialog-less child such as the item page has the focus.
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, &frame, std::move(action));
}

// The search tabs while they show, or nullptr.
CRkTabCtrl* shownTabs(const CMainFrame& frame)
{
    CRkTabCtrl* tabs = frame.formView()->tabCtrl();
    return tabs != nullptr && tabs->isVisible() ? tabs : nullptr;
}

} // namespace

void addMainShortcuts(CMainFrame& frame)
{
    addShortcut(frame, QKeySequence::Find, [&frame] { frame.cmdBar()->focusKeyword(); });
    addShortcut(frame, QKeySequence(Qt::CTRL | Qt::Key_W), [&frame] {
        if (CRkTabCtrl* tabs = shownTabs(frame))
            tabs->closeTab(tabs->currentIndex());
    });
    const auto next = [&frame] {
        if (CRkTabCtrl* tabs = shownTabs(frame))
            tabs->stepTab(1);
    };
    const auto previous = [&frame] {
        if (CRkTabCtrl* tabs = shownTabs(frame))
            tabs->stepTab(-1);
    };
    addShortcut(frame, QKeySequence(Qt::CTRL | Qt::Key_Tab), next);
    // X reports Shift+Tab as Backtab.
    addShortcut(frame, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), previous);
    addShortcut(frame, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), previous);
    addShortcut(frame, QKeySequence(Qt::Key_F5), [&frame] { frame.formView()->updateIfAlertShown(); });
}

} // namespace pelimo
