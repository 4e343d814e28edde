#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace pelimo {

// Up and down arrows attached to a number field. Each step starts from the number the field
// holds (or the last position when it holds none), stays inside the range and writes the new
// position into the field in decimal. The field itself accepts any text, so what the user
// typed is checked when the page reads it.
class SpinBuddy final : public QWidget {
    Q_OBJECT

public:
    explicit SpinBuddy(QWidget* parent = nullptr);

    void setBuddy(QLineEdit* field);
    void setRange(int minimum, int maximum);
    void setPosition(int position);
    int position() const { return pos; }

    void stepBy(int steps);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int clamp(int value) const;

    QLineEdit* buddy = nullptr;
    QToolButton* up;
    QToolButton* down;
    int minimum = 0;
    int maximum = 100;
    int pos = 0;
};

} // namespace pelimo
