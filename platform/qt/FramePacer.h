#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <chrono>
#include <vector>

class QWidget;

namespace pelimo::platform {

// Keeps a stream of changes on screen at about one frame per display refresh at most. The
// first change after a quiet spell paints as usual; a widget that changes again before the
// next frame is due stops painting until then, when everything held paints in one frame.
// What a widget holds (a text, rows) changes at once; only the drawing waits. Frames that
// take long to paint come further apart, so that painting keeps to about a tenth of the time
// while the changes stream in and the work they show goes on at nearly its own pace. A
// stream's last change is on screen by the next frame at the latest.
class FramePacer final : public QObject {
public:
    static constexpr std::chrono::milliseconds kFrame{16};
    // The time between two frames, in multiples of the time the last one took to paint.
    static constexpr int kPaintShare = 8;

    explicit FramePacer(QObject* parent = nullptr);
    ~FramePacer() override;
    FramePacer(const FramePacer&) = delete;
    FramePacer& operator=(const FramePacer&) = delete;

    // The widget's content has changed (call it after the change).
    void changed(QWidget* widget);
    // Paints everything held now.
    void flush();

private:
    void frame();

    QTimer timer;
    std::vector<QPointer<QWidget>> held;
    std::chrono::milliseconds interval = kFrame;
};

} // namespace pelimo::platform
