#pragma once

#include "xmlclient/Endpoints.h"
#include "xmlclient/ItemInfo.h"

#include <QWebEngineView>

namespace pelimo {

// The embedded browser that shows item pages, in the bottom pane and in each alert tab.
class CRkHtmlView final : public QWebEngineView {
    Q_OBJECT
public:
    CRkHtmlView(const Endpoints& endpoints, QWidget* parent);
    CRkHtmlView(const CRkHtmlView&) = delete;
    CRkHtmlView& operator=(const CRkHtmlView&) = delete;

    // Loads the listing's item page; an address too long to build loads nothing.
    void navigateToItem(ItemInfo item);
    // Loads the current page again from the server, not from the cache.
    void reloadPage();

private:
    const Endpoints& endpoints_;
};

} // namespace pelimo
