#include "app/CRkHtmlForm.h"

#include "itempage/CRkHtmlView.h"
#include "itempage/ItemPageAddress.h"
#include "platform/qt/DefaultBrowser.h"
#include "search/SearchListHost.h"
#include "watch/ui/CRkAramTabCtrl.h"

namespace pelimo {

CRkHtmlForm::CRkHtmlForm(const EnvSettings& settings, const Endpoints& endpoints, QWidget* parent)
    : QWidget(parent), settings_(settings), endpoints_(endpoints)
{}

void CRkHtmlForm::firstUpdate()
{
    if (updated_) {
        return;
    }
    updated_ = true;
    alertTabs_ = new CRkAramTabCtrl(endpoints_, this);
    alertTabs_->setObjectName(QStringLiteral("alertTabs"));
    alertTabs_->setGeometry(rect());
    alertTabs_->hide();
    itemView_ = new CRkHtmlView(endpoints_, this);
    itemView_->setObjectName(QStringLiteral("itemView"));
    itemView_->setGeometry(rect());
    itemView_->show();
}

void CRkHtmlForm::showItem(int32_t origin, const ItemInfo& item)
{
    const std::string address = itemPageAddress(endpoints_, item);
    if (origin == kOriginSearchList) {
        if (isOn(settings_.openSearchInBrowser)) {
            platform::openInDefaultBrowser(address);
        } else if (itemView_ != nullptr) {
            itemView_->navigateToItem(item);
        }
    } else if (origin == kOriginWatchList) {
        if (isOn(settings_.openAlertInBrowser)) {
            platform::openInDefaultBrowser(address);
        } else if (alertTabs_ != nullptr) {
            alertTabs_->openItemPage(item);
        }
    }
}

void CRkHtmlForm::refreshAlertItem(const ItemInfo& item)
{
    if (alertTabs_ != nullptr) {
        alertTabs_->refreshItemPage(item);
    }
}

void CRkHtmlForm::applyPaneMode(int32_t mode)
{
    const bool alert = mode == 1;
    if (itemView_ != nullptr) {
        itemView_->setVisible(!alert);
    }
    if (alertTabs_ != nullptr) {
        alertTabs_->setVisible(alert);
    }
}

void CRkHtmlForm::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutChildren();
}

void CRkHtmlForm::layoutChildren()
{
    if (itemView_ != nullptr) {
        itemView_->setGeometry(rect());
    }
    if (alertTabs_ != nullptr) {
        alertTabs_->setGeometry(rect());
    }
}

} // namespace pelimo
