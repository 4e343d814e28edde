#pragma once

#include "xmlclient/Endpoints.h"
#include "xmlclient/ItemInfo.h"

#include <QUrl>
#include <QWidget>

namespace pelimo {

class ItemPageEngine;

// The embedded browser that shows item pages, in the bottom pane and in each alert tab. The
// web engine's widget fills it; the first view made loads the engine.
class CRkHtmlView final : public QWidget {
    Q_OBJECT
public:
    CRkHtmlView(const Endpoints& endpoints, QWidget* parent);
    ~CRkHtmlView() override;
    CRkHtmlView(const CRkHtmlView&) = delete;
    CRkHtmlView& operator=(const CRkHtmlView&) = delete;

    // Loads the listing's item page; an address too long to build loads nothing.
    void navigateToItem(ItemInfo item);
    // Loads the current page again from the server, not from the cache.
    void reloadPage();
    // The page shown or being loaded; empty before the first load.
    QUrl url() const;

signals:
    void loadStarted();
    void loadFinished(bool ok);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    const Endpoints& endpoints;
    // Nothing when the engine could not be loaded: the view stays blank.
    ItemPageEngine* engine = nullptr;
};

} // namespace pelimo
