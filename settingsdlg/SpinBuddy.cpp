#include "settingsdlg/SpinBuddy.h"

#include "platform/qt/QtText.h"
#include "settingsdlg/IntegerText.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <algorithm>

namespace pelimo {

SpinBuddy::SpinBuddy(QWidget* parent)
    : QWidget(parent), up(new QToolButton(this)), down(new QToolButton(this))
{
    up->setObjectName(QStringLiteral("up"));
    down->setObjectName(QStringLiteral("down"));
    up->setArrowType(Qt::UpArrow);
    down->setArrowType(Qt::DownArrow);
    for (QToolButton* button : {up, down}) {
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
    }
    connect(up, &QToolButton::clicked, this, [this] { stepBy(1); });
    connect(down, &QToolButton::clicked, this, [this] { stepBy(-1); });
}

void SpinBuddy::setBuddy(QLineEdit* field)
{
    if (buddy)
        buddy->removeEventFilter(this);
    buddy = field;
    if (buddy)
        buddy->installEventFilter(this);
}

void SpinBuddy::setRange(int min, int max)
{
    minimum = std::min(min, max);
    maximum = std::max(min, max);
    pos = clamp(pos);
}

void SpinBuddy::setPosition(int position)
{
    pos = clamp(position);
    if (buddy)
        buddy->setText(QString::number(pos));
}

void SpinBuddy::stepBy(int steps)
{
    if (buddy) {
        if (const auto typed = wholeInteger(platform::fromQString(buddy->text())))
            pos = clamp(*typed);
    }
    setPosition(clamp(pos + steps));
}

int SpinBuddy::clamp(int value) const
{
    return std::clamp(value, minimum, maximum);
}

bool SpinBuddy::eventFilter(QObject* watched, QEvent* event)
{
    // The arrow keys in the field step like the arrows.
    if (watched == buddy && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            stepBy(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SpinBuddy::resizeEvent(QResizeEvent*)
{
    const int half = height() / 2;
    up->setGeometry(0, 0, width(), half);
    down->setGeometry(0, half, width(), height() - half);
}

} // namespace pelimo
