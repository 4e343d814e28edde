#include "platform/qt/FramePacer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QWidget>
#include <algorithm>

namespace pelimo::platform {

FramePacer::FramePacer(QObject* parent) : QObject(parent)
{
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &FramePacer::frame);
}

FramePacer::~FramePacer()
{
    // Nothing stays held: the widgets outlive their pacer as often as not.
    for (const QPointer<QWidget>& widget : held) {
        if (widget)
            widget->setUpdatesEnabled(true);
    }
}

void FramePacer::changed(QWidget* widget)
{
    if (widget == nullptr)
        return;
    if (!timer.isActive()) {
        // Nothing painted lately: this change shows as usual, and the next one waits.
        timer.start(interval);
        return;
    }
    // Disabled already: held here, or by whoever disabled it (its parent, say), who also
    // enables it again.
    if (!widget->updatesEnabled())
        return;
    widget->setUpdatesEnabled(false);
    held.emplace_back(widget);
}

void FramePacer::flush()
{
    const std::vector<QPointer<QWidget>> due = std::move(held);
    held.clear();
    std::vector<QWidget*> windows;
    for (const QPointer<QWidget>& widget : due) {
        if (!widget)
            continue;
        widget->setUpdatesEnabled(true); // marks the whole widget for repainting
        if (std::find(windows.begin(), windows.end(), widget->window()) == windows.end())
            windows.push_back(widget->window());
    }
    // Painted now, each window in one frame, so that the time it takes is known.
    QElapsedTimer painting;
    painting.start();
    for (QWidget* window : windows) {
        QEvent request(QEvent::UpdateRequest);
        QCoreApplication::sendEvent(window, &request);
    }
    const auto took = std::chrono::milliseconds(painting.elapsed());
    interval = std::max<std::chrono::milliseconds>(kFrame, took * kPaintShare);
}

void FramePacer::frame()
{
    // Nothing held since the last frame: the stream has ended.
    if (held.empty())
        return;
    flush();
    timer.start(interval);
}

} // namespace pelimo::platform
