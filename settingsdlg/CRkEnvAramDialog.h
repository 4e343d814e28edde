#pragma once

#include "settings/EnvSettings.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace pelimo {

class CRkColorButton;
class PageLayout;
class SpinBuddy;

// Page "alert": the watch interval, faster polling near the end, the alarm conditions and what
// an alarm does, with the mail server and push settings and a button that tries them. Which
// controls can be used follows the check boxes and the mail's encryption.
class CRkEnvAramDialog final : public QWidget {
    Q_OBJECT

public:
    static constexpr int kIntervalMin = 1;
    static constexpr int kIntervalMax = 1000;
    static constexpr int kRemainingMin = 0;
    static constexpr int kRemainingMax = 1000;
    static constexpr int kNearEndMinutesMin = 1;
    static constexpr int kNearEndMinutesMax = 1440;
    static constexpr int kNearEndSecondsMin = 30;
    static constexpr int kNearEndSecondsMax = 3600;
    static constexpr int kPortMin = 1;
    static constexpr int kPortMax = 65535;

    CRkEnvAramDialog(const EnvSettings& settings, QWidget* parent = nullptr);

    // Reads the controls into the copies: the interval, the remaining minutes, the near-end
    // numbers, the ports, the check boxes and the encryption, then the text fields. A number field without an
    // integer stops the reading; the user is told, the page asks to be brought to the front and the field
    // gets the focus.
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
    // A number field with its unit after it, as a part of a phrase.
    QLineEdit* addNumber(PageLayout& layout, const char* name, const char* unit, int left, int top);
    // A number field's integer within its range; otherwise the user is told, naming the field
    // (Shift-JIS) and the range, and the field gets the focus.
    bool readNumber(QLineEdit* field, const char* name, int minimum, int maximum, int32_t& value);
    // A time of the quiet period, stored as "HH:MM"; while the period is off, a time that does
    // not read keeps what was stored.
    bool readClockTime(QLineEdit* field, const char* complaint, bool required, std::string& value);
    void applyEnabling();
    void onRuleClicked();
    void onEncryptionChosen(int encryption);
    void onTestSend();
    static QString testMail(const EnvSettings& trial);
    static QString testPush(const EnvSettings& trial);

    QLineEdit* interval;
    SpinBuddy* intervalSpin;
    QCheckBox* remainingCheck;
    QLineEdit* remaining;
    SpinBuddy* remainingSpin;
    QCheckBox* nearEndCheck;
    QLineEdit* nearEndMinutes;
    QLineEdit* nearEndSeconds;
    QCheckBox* priceCheck;
    QCheckBox* listColourCheck;
    CRkColorButton* backButton;
    CRkColorButton* textButton;
    QCheckBox* balloonCheck;
    QCheckBox* mailCheck;
    QComboBox* encryptionBox;
    QLineEdit* smtpHostField;
    QLineEdit* smtpPortField;
    QLineEdit* smtpUserField;
    QLineEdit* smtpPasswordField;
    QLineEdit* mailFromField;
    QLineEdit* mailToField;
    QCheckBox* popCheck;
    QLineEdit* pop3HostField;
    QLineEdit* pop3PortField;
    QLineEdit* pop3UserField;
    QLineEdit* pop3PasswordField;
    QCheckBox* pushCheck;
    QLineEdit* pushUrlField;
    QCheckBox* quietCheck;
    QLineEdit* quietStartField;
    QLineEdit* quietEndField;
    QCheckBox* quietNearEndCheck;
    QPushButton* testButton;

    EnvSettings values;
    // The encryption the drop-down showed before its last change, and the port the plain
    // dialogue had when the page opened (going back to no encryption shows it again).
    int shownEncryption = 0;
    int32_t plainPort = 25;
};

} // namespace pelimo
