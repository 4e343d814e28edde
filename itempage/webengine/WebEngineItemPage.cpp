// The web engine's module: the one place that links QtWebEngine. The program loads it with the
// first item page it shows.
#include "itempage/ItemPageEngine.h"

#include <QWebEnginePage>
#include <QWebEngineView>
#include <type_traits>

namespace pelimo {
namespace {

class WebEngineItemPage final : public QWebEngineView, public ItemPageEngine {
public:
    WebEngineItemPage(QWidget* parent, Handlers handlers)
        : QWebEngineView(parent), handlers(std::move(handlers))
    {
        connect(this, &QWebEngineView::loadStarted, this, [this] {
            if (this->handlers.started)
                this->handlers.started();
        });
        connect(this, &QWebEngineView::loadFinished, this, [this](bool ok) {
            if (this->handlers.finished)
                this->handlers.finished(ok);
        });
    }

    QWidget* widget() override { return this; }
    void load(const QUrl& address) override { QWebEngineView::load(address); }
    void reloadFromServer() override { page()->triggerAction(QWebEnginePage::ReloadAndBypassCache); }
    QUrl url() const override { return QWebEngineView::url(); }

private:
    Handlers handlers;
};

} // namespace
} // namespace pelimo

extern "C" Q_DECL_EXPORT pelimo::ItemPageEngine*
pelimoMakeItemPageEngine(QWidget* parent, pelimo::ItemPageEngine::Handlers handlers)
{
    return new pelimo::WebEngineItemPage(parent, std::move(handlers));
}

static_assert(std::is_same_v<decltype(&pelimoMakeItemPageEngine), pelimo::MakeItemPageEngine>);
