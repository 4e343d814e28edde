#include "itempage/CRkHtmlView.h"

#include "itempage/ItemPageAddress.h"
#include "platform/qt/QtText.h"

#include <QUrl>
#include <QWebEnginePage>

namespace pelimo {

CRkHtmlView::CRkHtmlView(const Endpoints& endpoints, QWidget* parent)
    : QWebEngineView(parent), endpoints_(endpoints)
{}

void CRkHtmlView::navigateToItem(ItemInfo item)
{
    const std::string address = itemPageAddress(endpoints_, item);
    if (address.empty()) {
        return;
    }
    load(QUrl(platform::toQString(address)));
}

void CRkHtmlView::reloadPage()
{
    page()->triggerAction(QWebEnginePage::ReloadAndBypassCache);
}

} // namespace pelimo
