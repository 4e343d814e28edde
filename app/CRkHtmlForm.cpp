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
    // The blank of an empty page, drawn without the web engine.
    placeholder_ = new QWidget(this);
    placeholder_->setObjectName(QStringLiteral("itemPlaceholder"));
    placeholder_->setBackgroundRole(QPalette::Base);
    placeholder_->setAutoFillBackground(true);
    placeholder_->setGeometry(rect());
    placeholder_->show();
}

QWidget* CRkHtmlForm::itemSide() const
{
    return itemView_ != nullptr ? static_cast<QWidget*>(itemView_) : placeholder_;
}

CRkHtmlView* CRkHtmlForm::ensureItemView()
{
    if (itemView_ != nullptr || !updated_) {
        return itemView_;
    }
    itemView_ = new CRkHtmlView(endpoints_, this);
    itemView_->setObjectName(QStringLiteral("itemView"));
    itemView_->setGeometry(rect());
    itemView_->setVisible(!alertMode_);
    delete placeholder_;
    placeholder_ = nullptr;
    return itemView_;
}

void CRkHtmlForm::showItem(int32_t origin, const ItemInfo& item)
{
    const std::string address = itemPageAddress(endpoints_, item);
    if (origin == kOriginSearchList) {
        if (isOn(settings_.openSearchInBrowser)) {
            platform::openInDefaultBrowser(address);
        } else if (CRkHtmlView* view = ensureItemView()) {
            view->navigateToItem(item);
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
    alertMode_ = alert;
    if (QWidget* side = itemSide()) {
        side->setVisible(!alert);
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
    if (QWidget* side = itemSide()) {
        side->setGeometry(rect());
    }
    if (alertTabs_ != nullptr) {
        alertTabs_->setGeometry(rect());
    }
}

} // namespace pelimo
