#include "app/ShellWatchHost.h"

#include "app/CMainFrame.h"
#include "app/CRkFormView.h"
#include "app/CRkHtmlForm.h"
#include "platform/qt/PrivateMessage.h"
#include "search/CRkTabCtrl.h"

namespace pelimo {

void ShellWatchHost::setStatusLine(const std::string& sjis)
{
    frame.formView()->setStatusLine(sjis);
}

void ShellWatchHost::showItem(int32_t origin, const ItemInfo& item)
{
    frame.htmlForm()->showItem(origin, item);
}

void ShellWatchHost::refreshAlertItem(const ItemInfo& item)
{
    frame.htmlForm()->refreshAlertItem(item);
}

void ShellWatchHost::unmarkItem(const std::string& itemNo)
{
    if (CRkTabCtrl* tabs = frame.formView()->tabCtrl()) {
        tabs->unmarkItem(itemNo);
    }
}

void ShellWatchHost::setTrayIcon(int32_t iconId)
{
    frame.setTrayIcon(iconId);
}

void ShellWatchHost::showFileNotice(const std::string& sjis)
{
    platform::sendMessage(&frame, platform::StatusText{sjis});
}

void ShellWatchHost::watchListClosed()
{
    platform::postMessage(&frame, platform::WatchListClosed{});
}

} // namespace pelimo
