#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <string>
#include <utility>

namespace pelimo::platform {

// The program's private window messages, numbered from the first private message number as
// the rest of the system knows them. Each message is a small struct naming its number and
// carrying its payload, so a receiver gets the payload of the type it asked for or learns
// that the event is not that message; two messages may share a number.
enum class MessageNumber : int {
    startPaging = 1,
    pauseLoading = 2,
    loadNextPage = 3,
    pageEvent = 5,
    searchTabsClosed = 7,
    watchListClosed = 8,
    stopList = 9,        // to a result list
    aramExitRequest = 9, // to the watch list control
    listStopped = 11,
    listWaiting = 12, // a result list waits for the listing service to take requests again
    aramUpdateNow = 13,
    trayNotify = 50,
    statusText = 101,
};

template <class Message>
concept PrivateMessage = requires
{
    {
        Message::number
        } -> std::convertible_to<MessageNumber>;
};

template <PrivateMessage Message> inline constexpr QEvent::Type eventTypeOf()
{
    return static_cast<QEvent::Type>(QEvent::User + static_cast<int>(Message::number));
}

template <PrivateMessage Message> class PrivateMessageEvent final : public QEvent {
public:
    explicit PrivateMessageEvent(Message m) : QEvent(eventTypeOf<Message>()), message(std::move(m)) {}

    Message message;
};

// The message an event carries, or nullptr when the event is not that message.
template <PrivateMessage Message> const Message* messageOf(const QEvent* e)
{
    if (e->type() != eventTypeOf<Message>())
        return nullptr;
    const auto* event = dynamic_cast<const PrivateMessageEvent<Message>*>(e);
    return event ? &event->message : nullptr;
}

// Posted messages are queued and handled later; sent ones are handled before the sender
// continues.
template <PrivateMessage Message> void postMessage(QObject* to, Message m)
{
    QCoreApplication::postEvent(to, new PrivateMessageEvent<Message>(std::move(m)));
}

template <PrivateMessage Message> bool sendMessage(QObject* to, Message m)
{
    PrivateMessageEvent<Message> e(std::move(m));
    return QCoreApplication::sendEvent(to, &e);
}

// The messages between the main frame and the watch list; the search tabs' own are in
// search/SearchMessages.h.
struct SearchTabsClosed {
    static constexpr MessageNumber number = MessageNumber::searchTabsClosed;
};
struct WatchListClosed {
    static constexpr MessageNumber number = MessageNumber::watchListClosed;
};
struct AramExitRequest {
    static constexpr MessageNumber number = MessageNumber::aramExitRequest;
};
struct AramUpdateNow {
    static constexpr MessageNumber number = MessageNumber::aramUpdateNow;
};
// A text for the main frame's status bar (Shift-JIS).
struct StatusText {
    static constexpr MessageNumber number = MessageNumber::statusText;
    std::string text;
};

} // namespace pelimo::platform
