#pragma once

#include "platform/qt/PrivateMessage.h"
#include "xmlclient/SearchRequest.h"

#include <QPointer>

namespace pelimo {

class CRkItemList;
class TurnRotation;

// The private messages between the search tab control and its result lists.
struct StartPaging {
    static constexpr platform::MessageNumber number = platform::MessageNumber::startPaging;
    SearchRequest request;
};
struct PauseLoading {
    static constexpr platform::MessageNumber number = platform::MessageNumber::pauseLoading;
};
struct LoadNextPage {
    static constexpr platform::MessageNumber number = platform::MessageNumber::loadNextPage;
    // A turn of this rotation rather than the button: the rotation decides whether the list
    // takes it. The rotation belongs to the tab control, which outlives its lists.
    TurnRotation* rotation = nullptr;
};
struct StopList {
    static constexpr platform::MessageNumber number = platform::MessageNumber::stopList;
};
// The list's progress is read when the report is handled.
struct PageEvent {
    static constexpr platform::MessageNumber number = platform::MessageNumber::pageEvent;
    QPointer<CRkItemList> list;
};
struct ListStopped {
    static constexpr platform::MessageNumber number = platform::MessageNumber::listStopped;
    QPointer<CRkItemList> list;
};
// The list's page waits for the listing service; its status line says until when.
struct ListWaiting {
    static constexpr platform::MessageNumber number = platform::MessageNumber::listWaiting;
    QPointer<CRkItemList> list;
};

} // namespace pelimo
