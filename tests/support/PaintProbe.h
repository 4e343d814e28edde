#pragma once

#include <QEvent>
#include <QObject>
#include <QVariant>
#include <QWidget>
#include <functional>

namespace pelimo::test {

// What a widget painted: how often, and the state it showed the last time (read by `state`
// as each paint begins).
class PaintProbe final : public QObject {
public:
    PaintProbe(QWidget* widget, std::function<QVariant()> state) : state(std::move(state))
    {
        widget->installEventFilter(this);
    }

    int paints = 0;
    QVariant lastShown;
    std::function<void(const QVariant&)> onPaint;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() == QEvent::Paint) {
            ++paints;
            lastShown = state();
            if (onPaint)
                onPaint(lastShown);
        }
        return QObject::eventFilter(watched, e);
    }

private:
    std::function<QVariant()> state;
};

} // namespace pelimo::test
