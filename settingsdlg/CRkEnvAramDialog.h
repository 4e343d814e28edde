#pragma once

#include "app/settings/EnvSettings.h"

#include <QWidget>

class QCheckBox;
class QLineEdit;

namespace pelimo {

class CRkColorButton;
class PageLayout;
class SpinBuddy;

// Page "alert": the watch interval, the alarm conditions and what an alarm does, with the
// mail server settings. Which controls can be used follows the check boxes.
class CRkEnvAramDialog final : public QWidget {
    Q_OBJECT

public:
    static constexpr int kIntervalMin = 1;
    static constexpr int kIntervalMax = 1000;
    static constexpr int kRemainingMin = 0;
    static constexpr int kRemainingMax = 1000;

    CRkEnvAramDialog(const EnvSettings& settings, QWidget* parent = nullptr);

    // Reads the controls into the copies: the interval, the remaining minutes, the check boxes,
    // then the text fields. A number field without an integer stops the reading; the user is
    // told, the page asks to be brought to the front and the field gets the focus.
    bool readControls();
    // Numbers outside their arrows' ranges go into the settings clamped into them, so no
    // typed value can make the watch timer run wild.
    void copyTo(EnvSettings& settings) const;

signals:
    void frontRequested();

private:
    QCheckBox* addCheck(PageLayout& layout, const char* text, const char* name, int left, int top, int width);
    QLineEdit* addField(PageLayout& layout, const char* label, const char* name, int labelLeft, int fieldLeft,
                        int top, int width);
    bool readNumber(QLineEdit* field, int32_t& value);
    void applyEnabling();
    void onRuleClicked();

    QLineEdit* interval;
    SpinBuddy* intervalSpin;
    QCheckBox* remainingCheck;
    QLineEdit* remaining;
    SpinBuddy* remainingSpin;
    QCheckBox* priceCheck;
    QCheckBox* listColourCheck;
    CRkColorButton* backButton;
    CRkColorButton* textButton;
    QCheckBox* balloonCheck;
    QCheckBox* mailCheck;
    QLineEdit* smtpHostField;
    QLineEdit* smtpPortField;
    QLineEdit* mailFromField;
    QLineEdit* mailToField;
    QCheckBox* popCheck;
    QLineEdit* pop3HostField;
    QLineEdit* pop3PortField;
    QLineEdit* pop3UserField;
    QLineEdit* pop3PasswordField;

    EnvSettings values;
};

} // namespace pelimo
