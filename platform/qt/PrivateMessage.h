#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <any>
#include <utility>

namespace pelimo::platform {

// The program's private window messages, numbered from the first private message number as
// the rest of the system knows them.
enum class PrivateMessage : int {
    startPaging = 1,
    pauseLoading = 2,
    loadNextPage = 3,
    pageEvent = 5,
    searchTabsClosed = 7,
    watchListClosed = 8,
    stopList = 9,        // to a result list
    aramExitRequest = 9, // to the watch list control
    listStopped = 11,
    aramUpdateNow = 13,
    trayNotify = 50,
    statusText = 101,
};

inline constexpr QEvent::Type eventTypeOf(PrivateMessage m)
{
    return static_cast<QEvent::Type>(QEvent::User + static_cast<int>(m));
}

// A private message with an optional argument. Posted messages are queued and handled later;
// sent ones are handled before the sender continues.
class PrivateMessageEvent final : public QEvent {
public:
    explicit PrivateMessageEvent(PrivateMessage m, std::any argument = {})
        : QEvent(eventTypeOf(m)), message(m), arg(std::move(argument))
    {}

    PrivateMessage message;
    std::any arg;
};

inline bool isPrivateMessage(const QEvent* e, PrivateMessage m)
{
    return e->type() == eventTypeOf(m);
}

inline void postMessage(QObject* to, PrivateMessage m, std::any argument = {})
{
    QCoreApplication::postEvent(to, new PrivateMessageEvent(m, std::move(argument)));
}

inline bool sendMessage(QObject* to, PrivateMessage m, std::any argument = {})
{
    PrivateMessageEvent e(m, std::move(argument));
    return QCoreApplication::sendEvent(to, &e);
}

} // namespace pelimo::platform
