#pragma once

#include "settings/EnvSettings.h"
#include "xmlclient/Endpoints.h"
#include "xmlclient/ItemInfo.h"

#include <QWidget>
#include <cstdint>

namespace pelimo {

class CRkAramTabCtrl;
class CRkHtmlView;

// The bottom pane: the item page view in search mode, the alert page tabs in alert mode. The
// item page view, and with it the web engine, is made when the first item page is shown; until
// then a plain placeholder stands in its place.
class CRkHtmlForm final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kItemViewId = 118;
    static constexpr int kAlertTabsId = 121;

    CRkHtmlForm(const EnvSettings& settings, const Endpoints& endpoints, QWidget* parent);
    CRkHtmlForm(const CRkHtmlForm&) = delete;
    CRkHtmlForm& operator=(const CRkHtmlForm&) = delete;

    // Creates the alert tabs and the placeholder; runs once, later calls do nothing.
    void firstUpdate();

    // Shows a listing's page where the settings say for its origin (1 search list, 2 watch
    // list); other origins show nothing.
    void showItem(int32_t origin, const ItemInfo& item);
    // Hands an updated listing to the alert tabs, which reload its page if it is open.
    void refreshAlertItem(const ItemInfo& item);
    void applyPaneMode(int32_t mode);

    // Nothing until the first item page of a result list is shown.
    CRkHtmlView* itemView() const { return pageView; }
    // What the search mode shows in the pane: the item view, or the placeholder before it.
    QWidget* itemSide() const;
    CRkAramTabCtrl* alertTabs() const { return alertPages; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void layoutChildren();
    CRkHtmlView* ensureItemView();

    const EnvSettings& settings;
    const Endpoints& endpoints;
    bool updated = false;
    bool alertMode = false;
    QWidget* placeholder = nullptr;
    CRkHtmlView* pageView = nullptr;
    CRkAramTabCtrl* alertPages = nullptr;
};

} // namespace pelimo
