#include "itempage/CRkHtmlView.h"

#include "itempage/ItemPageAddress.h"
#include "itempage/ItemPageModule.h"
#include "platform/qt/QtText.h"

namespace pelimo {

CRkHtmlView::CRkHtmlView(const Endpoints& where, QWidget* parent) : QWidget(parent), endpoints(where)
{
    // The engine calls back for as long as its widget lives, which is no longer than this one.
    ItemPageEngine::Handlers handlers;
    handlers.started = [this] {
        emit loadStarted();
    };
    handlers.finished = [this](bool ok) {
        emit loadFinished(ok);
    };
    engine = makeItemPageEngine(this, std::move(handlers));
    if (engine != nullptr)
        engine->widget()->setGeometry(rect());
}

CRkHtmlView::~CRkHtmlView()
{
    // The engine goes first, while the signals its last calls may emit still have their object.
    if (engine != nullptr)
        delete engine->widget();
}

void CRkHtmlView::navigateToItem(ItemInfo item)
{
    const std::string address = itemPageAddress(endpoints, item);
    if (address.empty() || engine == nullptr)
        return;
    engine->load(QUrl(platform::toQString(address)));
}

void CRkHtmlView::reloadPage()
{
    if (engine != nullptr)
        engine->reloadFromServer();
}

QUrl CRkHtmlView::url() const
{
    return engine != nullptr ? engine->url() : QUrl();
}

void CRkHtmlView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (engine != nullptr)
        engine->widget()->setGeometry(rect());
}

} // namespace pelimo
