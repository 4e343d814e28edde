#pragma once

#include <QUrl>
#include <functional>

class QWidget;

namespace pelimo {

// The web engine's side of an item page view: a browser widget that loads addresses. It lives
// in a module of its own, loaded with the first item page shown, so that neither the engine,
// its profile nor its helper processes exist before a page is wanted.
class ItemPageEngine {
public:
    // What the view hears of its loads.
    struct Handlers {
        std::function<void()> started;
        std::function<void(bool ok)> finished;
    };

    virtual ~ItemPageEngine() = default;

    // The browser widget, a child of the parent it was made for; deleting it ends the engine.
    virtual QWidget* widget() = 0;
    virtual void load(const QUrl& address) = 0;
    // Loads the current page again from the server, not from the cache.
    virtual void reloadFromServer() = 0;
    virtual QUrl url() const = 0;
};

// The module's one entry point, looked up by this name.
using MakeItemPageEngine = ItemPageEngine* (*)(QWidget* parent, ItemPageEngine::Handlers handlers);
inline constexpr const char* kMakeItemPageEngineSymbol = "pelimoMakeItemPageEngine";

} // namespace pelimo
