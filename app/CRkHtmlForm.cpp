#include "app/CRkHtmlForm.h"

#include "itempage/CRkHtmlView.h"
#include "itempage/ItemPageAddress.h"
#include "platform/qt/DefaultBrowser.h"
#include "search/SearchListHost.h"
#include "watch/ui/CRkAramTabCtrl.h"

namespace pelimo {

CRkHtmlForm::CRkHtmlForm(const EnvSettings& settings, const Endpoints& endpoints, QWidget* parent)
    : QWidget(parent), settings(settings), endpoints(endpoints)
{}

void CRkHtmlForm::firstUpdate()
{
    if (updated) {
        return;
    }
    updated = true;
    alertPages = new CRkAramTabCtrl(endpoints, this);
    alertPages->setObjectName(QStringLiteral("alertTabs"));
    alertPages->setGeometry(rect());
    alertPages->hide();
    // The blank of an empty page, drawn without the web engine.
    placeholder = new QWidget(this);
    placeholder->setObjectName(QStringLiteral("itemPlaceholder"));
    placeholder->setBackgroundRole(QPalette::Base);
    placeholder->setAutoFillBackground(true);
    placeholder->setGeometry(rect());
    placeholder->show();
}

QWidget* CRkHtmlForm::itemSide() const
{
    return pageView != nullptr ? static_cast<QWidget*>(pageView) : placeholder;
}

CRkHtmlView* CRkHtmlForm::ensureItemView()
{
    if (pageView != nullptr || !updated) {
        return pageView;
    }
    pageView = new CRkHtmlView(endpoints, this);
    pageView->setObjectName(QStringLiteral("itemView"));
    pageView->setGeometry(rect());
    pageView->setVisible(!alertMode);
    delete placeholder;
    placeholder = nullptr;
    return pageView;
}

void CRkHtmlForm::showItem(int32_t origin, const ItemInfo& item)
{
    const std::string address = itemPageAddress(endpoints, item);
    if (origin == kOriginSearchList) {
        if (isOn(settings.openSearchInBrowser)) {
            platform::openInDefaultBrowser(address);
        } else if (CRkHtmlView* view = ensureItemView()) {
            view->navigateToItem(item);
        }
    } else if (origin == kOriginWatchList) {
        if (isOn(settings.openAlertInBrowser)) {
            platform::openInDefaultBrowser(address);
        } else if (alertPages != nullptr) {
            alertPages->openItemPage(item);
        }
    }
}

void CRkHtmlForm::refreshAlertItem(const ItemInfo& item)
{
    if (alertPages != nullptr) {
        alertPages->refreshItemPage(item);
    }
}

void CRkHtmlForm::applyPaneMode(int32_t mode)
{
    const bool alert = mode == 1;
    alertMode = alert;
    if (QWidget* side = itemSide()) {
        side->setVisible(!alert);
    }
    if (alertPages != nullptr) {
        alertPages->setVisible(alert);
    }
}

void CRkHtmlForm::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutChildren();
}

void CRkHtmlForm::layoutChildren()
{
    if (QWidget* side = itemSide()) {
        side->setGeometry(rect());
    }
    if (alertPages != nullptr) {
        alertPages->setGeometry(rect());
    }
}

} // namespace pelimo
