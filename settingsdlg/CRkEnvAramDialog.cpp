#include "settingsdlg/CRkEnvAramDialog.h"

#include "notify/AlertMail.h"
#include "notify/PushNotice.h"
#include "notify/quiet/QuietHours.h"
#include "platform/qt/MessageBox.h"
#include "platform/qt/QtText.h"
#include "platform/text/TextFill.h"
#include "settingsdlg/CRkColorButton.h"
#include "settingsdlg/IntegerText.h"
#include "settingsdlg/PageLayout.h"
#include "settingsdlg/SpinBuddy.h"
#include "settingsdlg_texts.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <algorithm>
#include <functional>
#include <thread>

namespace pelimo {

namespace {

using namespace settingsdlg_texts;
using platform::fromQString;
using platform::toQString;

// A line break would split the value's line in env.ini, so a pasted one is dropped.
std::string singleLine(const QString& text)
{
    QString line = text;
    line.remove(QLatin1Char('\r'));
    line.remove(QLatin1Char('\n'));
    return fromQString(line);
}

int32_t flagOf(const QCheckBox* box)
{
    return box->isChecked() ? 1 : 0;
}

// The drop-down's entries are the encryption values 0, 1 and 2; any other stored value means
// none, as the mail takes it.
int encryptionIndex(int32_t stored)
{
    return stored == 1 || stored == 2 ? stored : 0;
}

// The port a mail server usually listens on for each encryption.
int32_t usualPort(int encryption)
{
    return encryption == 1 ? 587 : encryption == 2 ? 465 : 25;
}

QString withDetail(const char* outcome, const std::string& detailSjis)
{
    QString text = toQString(outcome);
    if (!detailSjis.empty())
        text += toQString(kTestFailureDetail).arg(toQString(detailSjis));
    return text;
}

} // namespace

CRkEnvAramDialog::CRkEnvAramDialog(const EnvSettings& settings, QWidget* parent)
    : QWidget(parent), values(settings)
{
    setObjectName(QStringLiteral("alertPage"));
    setFont(dialogFont());
    PageLayout layout(this);

    auto* outer = new QGroupBox(toQString(kAlertSettings), this);
    layout.add(outer, 2, 2, 252, 267);
    auto* conditions = new QGroupBox(toQString(kAlarmConditions), this);
    layout.add(conditions, 8, 30, 240, 52);
    auto* actions = new QGroupBox(toQString(kAlarmActions), this);
    layout.add(actions, 8, 86, 240, 175);

    interval = addField(layout, kWatchInterval, "watchIntervalMinutes", 12, 60, 13, 30);
    intervalSpin = new SpinBuddy(this);
    intervalSpin->setObjectName(QStringLiteral("watchIntervalSpin"));
    layout.add(intervalSpin, 90, 13, 8, 12);
    // The faster polling near the end continues the watch interval's row as one phrase:
    // "残り [30] 分から [60] 秒ごと".
    nearEndCheck = addCheck(layout, kNearEndFaster, "nearEndFaster", 106, 14, 30);
    nearEndCheck->setToolTip(toQString(kNearEndTip));
    nearEndMinutes = addNumber(layout, "nearEndMinutes", kNearEndMinutes, 136, 13);
    nearEndSeconds = addNumber(layout, "nearEndIntervalSeconds", kNearEndSeconds, 186, 13);

    remainingCheck = addCheck(layout, kAlarmOnRemaining, "alarmOnRemainingTime", 14, 40, 180);
    remaining = addField(layout, kRemainingMinutes, "remainingTimeMinutes", 26, 70, 52, 30);
    remainingSpin = new SpinBuddy(this);
    remainingSpin->setObjectName(QStringLiteral("remainingTimeSpin"));
    layout.add(remainingSpin, 100, 52, 8, 12);
    priceCheck = addCheck(layout, kAlarmOnPrice, "alarmOnPriceChange", 14, 68, 100);
    // The quiet period beside the rules it holds back, in the room the page has:
    // "[x] 通知しない時間帯 [22:00] ～ [07:00]" and below it "[x] 終了間際は通知する".
    quietCheck = addCheck(layout, kQuietHours, "quietEnabled", 112, 53, 74);
    quietCheck->setToolTip(toQString(kQuietTip));
    quietStartField = new QLineEdit(this);
    quietStartField->setObjectName(QStringLiteral("quietStart"));
    layout.add(quietStartField, 186, 52, 24, 12);
    auto* until = new QLabel(toQString(kQuietUntil), this);
    layout.add(until, 211, 54, 8, 9);
    quietEndField = new QLineEdit(this);
    quietEndField->setObjectName(QStringLiteral("quietEnd"));
    layout.add(quietEndField, 220, 52, 24, 12);
    quietNearEndCheck = addCheck(layout, kQuietNearEndGoOut, "quietNearEndGoOut", 124, 68, 100);

    listColourCheck = addCheck(layout, kChangeListColour, "alarmChangesListColour", 14, 96, 70);
    auto* backLabel = new QLabel(toQString(kBackColour), this);
    layout.add(backLabel, 92, 97, 16, 9);
    backButton = new CRkColorButton(this);
    backButton->setObjectName(QStringLiteral("alarmBackColour"));
    layout.add(backButton, 110, 95, 22, 12);
    auto* textLabel = new QLabel(toQString(kTextColour), this);
    layout.add(textLabel, 142, 97, 16, 9);
    textButton = new CRkColorButton(this);
    textButton->setObjectName(QStringLiteral("alarmTextColour"));
    layout.add(textButton, 160, 95, 22, 12);
    balloonCheck = addCheck(layout, kBalloon, "alarmBalloon", 14, 109, 226);

    mailCheck = addCheck(layout, kMail, "alarmMail", 14, 123, 90);
    auto* encryptionLabel = new QLabel(toQString(kEncryption), this);
    layout.add(encryptionLabel, 120, 124, 24, 9);
    encryptionBox = new QComboBox(this);
    encryptionBox->setObjectName(QStringLiteral("mailEncryption"));
    for (const char* choice : {kEncryptionNone, kEncryptionStartTls, kEncryptionTls})
        encryptionBox->addItem(toQString(choice));
    layout.add(encryptionBox, 146, 122, 62, 12);
    encryptionLabel->setBuddy(encryptionBox);
    smtpHostField = addField(layout, kSmtpServer, "smtpHost", 26, 70, 135, 100);
    smtpPortField = addField(layout, kPortNumber, "smtpPort", 180, 204, 135, 30);
    smtpUserField = addField(layout, kSmtpUser, "smtpUser", 26, 70, 148, 64);
    smtpPasswordField = addField(layout, kSmtpPassword, "smtpPassword", 142, 166, 148, 68);
    mailFromField = addField(layout, kMailFrom, "mailFrom", 26, 70, 161, 164);
    mailToField = addField(layout, kMailTo, "mailTo", 26, 70, 174, 164);
    auto* note = new QLabel(toQString(kSenderNote), this);
    note->setObjectName(QStringLiteral("senderNote"));
    layout.add(note, 26, 188, 208, 17);

    popCheck = addCheck(layout, kPopBeforeSmtp, "popBeforeSmtp", 14, 207, 120);
    pop3HostField = addField(layout, kPop3Server, "pop3Host", 26, 70, 219, 100);
    pop3PortField = addField(layout, kPortNumber, "pop3Port", 180, 204, 219, 30);
    pop3UserField = addField(layout, kPop3User, "pop3User", 26, 70, 232, 64);
    pop3PasswordField = addField(layout, kPop3Password, "pop3Password", 142, 166, 232, 68);

    pushCheck = addCheck(layout, kPush, "pushEnabled", 14, 246, 56);
    pushUrlField = addField(layout, kPushUrl, "pushUrl", 74, 90, 245, 104);
    testButton = new QPushButton(toQString(kTestSend), this);
    testButton->setObjectName(QStringLiteral("testSend"));
    layout.add(testButton, 198, 245, 44, 12);

    for (QLineEdit* number :
         {interval, remaining, nearEndMinutes, nearEndSeconds, smtpPortField, pop3PortField})
        number->setAlignment(Qt::AlignRight);
    for (QLineEdit* port : {smtpPortField, pop3PortField})
        port->setReadOnly(true);
    for (QLineEdit* password : {smtpPasswordField, pop3PasswordField})
        password->setEchoMode(QLineEdit::Password);
    layout.apply();

    // Show the copies.
    remainingCheck->setChecked(isOn(values.alarmOnRemainingTime));
    priceCheck->setChecked(isOn(values.alarmOnPriceChange));
    listColourCheck->setChecked(isOn(values.alarmChangesListColour));
    balloonCheck->setChecked(isOn(values.alarmBalloon));
    mailCheck->setChecked(isOn(values.alarmMail));
    popCheck->setChecked(isOn(values.popBeforeSmtp));
    nearEndCheck->setChecked(isOn(values.ext.nearEndFaster));
    quietCheck->setChecked(isOn(values.ext.quietEnabled));
    quietStartField->setText(toQString(values.ext.quietStart));
    quietEndField->setText(toQString(values.ext.quietEnd));
    quietNearEndCheck->setChecked(isOn(values.ext.quietNearEndGoOut));
    nearEndMinutes->setText(QString::number(values.ext.nearEndMinutes));
    nearEndSeconds->setText(QString::number(values.ext.nearEndIntervalSeconds));
    shownEncryption = encryptionIndex(values.ext.mailEncryption);
    encryptionBox->setCurrentIndex(shownEncryption);
    plainPort = shownEncryption == 0 ? values.smtpPort : usualPort(0);
    smtpHostField->setText(toQString(values.smtpHost));
    smtpPortField->setText(QString::number(values.smtpPort));
    smtpUserField->setText(toQString(values.ext.smtpUser));
    smtpPasswordField->setText(toQString(values.ext.smtpPassword));
    pushCheck->setChecked(isOn(values.ext.pushEnabled));
    pushUrlField->setText(toQString(values.ext.pushUrl));
    mailFromField->setText(toQString(values.mailFrom));
    mailToField->setText(toQString(values.mailTo));
    pop3HostField->setText(toQString(values.pop3Host));
    pop3PortField->setText(QString::number(values.pop3Port));
    pop3UserField->setText(toQString(values.pop3User));
    pop3PasswordField->setText(toQString(values.pop3Password));
    backButton->setColour(values.alarmBackColour);
    textButton->setColour(values.alarmTextColour);
    connect(backButton, &CRkColorButton::colourPicked, this,
            [this](ColourRef c) { values.alarmBackColour = c; });
    connect(textButton, &CRkColorButton::colourPicked, this,
            [this](ColourRef c) { values.alarmTextColour = c; });

    // The arrows start from the stored numbers; the fields show them as stored, even outside
    // the arrows' ranges.
    intervalSpin->setBuddy(interval);
    intervalSpin->setRange(kIntervalMin, kIntervalMax);
    intervalSpin->setPosition(values.watchIntervalMinutes);
    interval->setText(QString::number(values.watchIntervalMinutes));
    remainingSpin->setBuddy(remaining);
    remainingSpin->setRange(kRemainingMin, kRemainingMax);
    remainingSpin->setPosition(values.remainingTimeMinutes);
    remaining->setText(QString::number(values.remainingTimeMinutes));

    for (QCheckBox* rule :
         {remainingCheck, listColourCheck, mailCheck, popCheck, nearEndCheck, pushCheck, quietCheck})
        connect(rule, &QCheckBox::clicked, this, &CRkEnvAramDialog::onRuleClicked);
    connect(encryptionBox, &QComboBox::currentIndexChanged, this, &CRkEnvAramDialog::onEncryptionChosen);
    connect(testButton, &QPushButton::clicked, this, &CRkEnvAramDialog::onTestSend);
    applyEnabling();
}

QCheckBox* CRkEnvAramDialog::addCheck(PageLayout& layout, const char* text, const char* name, int left,
                                      int top, int width)
{
    auto* box = new QCheckBox(toQString(text), this);
    box->setObjectName(QLatin1String(name));
    layout.add(box, left, top, width, 10);
    return box;
}

QLineEdit* CRkEnvAramDialog::addField(PageLayout& layout, const char* label, const char* name, int labelLeft,
                                      int fieldLeft, int top, int width)
{
    auto* caption = new QLabel(toQString(label), this);
    layout.add(caption, labelLeft, top + 2, fieldLeft - labelLeft - 2, 9);
    auto* field = new QLineEdit(this);
    field->setObjectName(QLatin1String(name));
    layout.add(field, fieldLeft, top, width, 12);
    caption->setBuddy(field);
    return field;
}

QLineEdit* CRkEnvAramDialog::addNumber(PageLayout& layout, const char* name, const char* unit, int left,
                                       int top)
{
    auto* field = new QLineEdit(this);
    field->setObjectName(QLatin1String(name));
    layout.add(field, left, top, 24, 12);
    auto* caption = new QLabel(toQString(unit), this);
    layout.add(caption, left + 26, top + 2, 20, 9);
    return field;
}

bool CRkEnvAramDialog::readNumber(QLineEdit* field, const char* name, int minimum, int maximum,
                                  int32_t& value)
{
    const auto number = wholeInteger(fromQString(field->text()));
    // A field the page does not let the user change keeps what the file holds; the copy into
    // the settings brings it into range as before.
    const bool editable = field->isEnabled() && !field->isReadOnly();
    if (number && (!editable || (*number >= minimum && *number <= maximum))) {
        value = *number;
        return true;
    }
    emit frontRequested();
    const std::string text =
        number ? fillText(kNumberOutOfRange, {std::string_view(name), static_cast<long long>(minimum),
                                              static_cast<long long>(maximum)})
               : fillText(kNotAnInteger, {std::string_view(name)});
    platform::MessageBox::information(this, toQString(text));
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
    return false;
}

bool CRkEnvAramDialog::readClockTime(QLineEdit* field, const char* complaint, bool required,
                                     std::string& value)
{
    if (const std::optional<int> minute = parseClockTime(fromQString(field->text()))) {
        value = clockTimeText(*minute);
        return true;
    }
    if (!required)
        return true;
    emit frontRequested();
    platform::MessageBox::information(this, toQString(complaint));
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
    return false;
}

bool CRkEnvAramDialog::readControls()
{
    // Nothing is taken over unless every number reads.
    EnvSettings read = values;
    if (!readNumber(interval, kWatchInterval, kIntervalMin, kIntervalMax, read.watchIntervalMinutes) ||
        !readNumber(remaining, kRemainingMinutes, kRemainingMin, kRemainingMax, read.remainingTimeMinutes) ||
        !readNumber(nearEndMinutes, kFieldNearEndMinutes, kNearEndMinutesMin, kNearEndMinutesMax,
                    read.ext.nearEndMinutes) ||
        !readNumber(nearEndSeconds, kFieldNearEndSeconds, kNearEndSecondsMin, kNearEndSecondsMax,
                    read.ext.nearEndIntervalSeconds) ||
        !readNumber(smtpPortField, kFieldSmtpPort, kPortMin, kPortMax, read.smtpPort) ||
        !readNumber(pop3PortField, kFieldPop3Port, kPortMin, kPortMax, read.pop3Port))
        return false;
    read.ext.quietEnabled = flagOf(quietCheck);
    read.ext.quietNearEndGoOut = flagOf(quietNearEndCheck);
    const bool quiet = isOn(read.ext.quietEnabled);
    if (!readClockTime(quietStartField, kQuietBadStart, quiet, read.ext.quietStart) ||
        !readClockTime(quietEndField, kQuietBadEnd, quiet, read.ext.quietEnd))
        return false;
    read.ext.nearEndFaster = flagOf(nearEndCheck);
    read.ext.mailEncryption = encryptionBox->currentIndex();
    read.ext.pushEnabled = flagOf(pushCheck);
    read.alarmOnRemainingTime = flagOf(remainingCheck);
    read.alarmOnPriceChange = flagOf(priceCheck);
    read.alarmChangesListColour = flagOf(listColourCheck);
    read.alarmBalloon = flagOf(balloonCheck);
    read.alarmMail = flagOf(mailCheck);
    read.popBeforeSmtp = flagOf(popCheck);
    read.smtpHost = singleLine(smtpHostField->text());
    read.mailFrom = singleLine(mailFromField->text());
    read.mailTo = singleLine(mailToField->text());
    read.pop3Host = singleLine(pop3HostField->text());
    read.pop3User = singleLine(pop3UserField->text());
    read.pop3Password = singleLine(pop3PasswordField->text());
    read.ext.smtpUser = singleLine(smtpUserField->text());
    read.ext.smtpPassword = singleLine(smtpPasswordField->text());
    read.ext.pushUrl = singleLine(pushUrlField->text().trimmed());
    values = read;
    return true;
}

void CRkEnvAramDialog::applyEnabling()
{
    const bool mail = isOn(values.alarmMail);
    remaining->setEnabled(isOn(values.alarmOnRemainingTime));
    backButton->setEnabled(isOn(values.alarmChangesListColour));
    textButton->setEnabled(isOn(values.alarmChangesListColour));
    for (QWidget* w : {static_cast<QWidget*>(smtpHostField), static_cast<QWidget*>(mailFromField),
                       static_cast<QWidget*>(mailToField), static_cast<QWidget*>(popCheck)})
        w->setEnabled(mail);
    const bool pop = mail && isOn(values.popBeforeSmtp);
    for (QLineEdit* field : {pop3HostField, pop3UserField, pop3PasswordField})
        field->setEnabled(pop);
    // The login only ever goes over an encrypted connection; the plain dialogue keeps its port
    // read-only, as it always was.
    const bool encrypted = encryptionIndex(values.ext.mailEncryption) != 0;
    encryptionBox->setEnabled(mail);
    smtpUserField->setEnabled(mail && encrypted);
    smtpPasswordField->setEnabled(mail && encrypted);
    smtpPortField->setReadOnly(!encrypted);
    nearEndMinutes->setEnabled(isOn(values.ext.nearEndFaster));
    nearEndSeconds->setEnabled(isOn(values.ext.nearEndFaster));
    pushUrlField->setEnabled(isOn(values.ext.pushEnabled));
    for (QWidget* w : {static_cast<QWidget*>(quietStartField), static_cast<QWidget*>(quietEndField),
                       static_cast<QWidget*>(quietNearEndCheck)})
        w->setEnabled(isOn(values.ext.quietEnabled));
}

void CRkEnvAramDialog::onEncryptionChosen(int encryption)
{
    // The port follows the choice while it is the usual one of the previous choice; a port the
    // user typed for an encrypted connection stays.
    if (encryption == 0) {
        smtpPortField->setText(QString::number(plainPort));
    } else {
        const auto typed = wholeInteger(fromQString(smtpPortField->text()));
        if (shownEncryption == 0 || !typed || *typed == usualPort(shownEncryption))
            smtpPortField->setText(QString::number(usualPort(encryption)));
    }
    shownEncryption = encryption;
    onRuleClicked();
}

namespace {

// Runs a sender on a thread of its own, since a peer may take its whole bound to answer, and
// hands what it says to the page on the window's thread, if the page is still there.
void sendAside(QPointer<CRkEnvAramDialog> page, std::function<QString()> send,
               std::function<void(CRkEnvAramDialog&, const QString&)> then)
{
    std::thread([page, send = std::move(send), then = std::move(then)] {
        const QString outcome = send();
        if (QCoreApplication* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                app,
                [page, then, outcome] {
                    if (page)
                        then(*page, outcome);
                },
                Qt::QueuedConnection);
    }).detach();
}

} // namespace

void CRkEnvAramDialog::onTestSend()
{
    if (!readControls())
        return;
    // The values as they stand in the page, saved or not, through the program's own senders:
    // the mail first, its box, then the push and its box. The button is held meanwhile.
    EnvSettings trial = values;
    copyTo(trial);
    testButton->setEnabled(false);
    sendAside(
        this, [trial] { return testMail(trial); },
        [trial](CRkEnvAramDialog& page, const QString& mailOutcome) {
            platform::MessageBox::information(&page, mailOutcome);
            sendAside(
                &page, [trial] { return testPush(trial); },
                [](CRkEnvAramDialog& page, const QString& pushOutcome) {
                    platform::MessageBox::information(&page, pushOutcome);
                    page.testButton->setEnabled(true);
                });
        });
}

QString CRkEnvAramDialog::testMail(const EnvSettings& trial)
{
    if (trial.smtpHost.empty())
        return toQString(kTestMailNoHost);
    if (trial.mailTo.empty())
        return toQString(kTestMailNoRecipient);
    // The last status text names the step that failed ("SMTP LOGIN REFUSED", say).
    std::string last;
    const bool sent = mailAlarms(trial, kTestText, [&last](const std::string& text) {
        if (!text.empty())
            last = text;
    });
    return sent ? toQString(kTestMailSent) : withDetail(kTestMailFailed, last);
}

QString CRkEnvAramDialog::testPush(const EnvSettings& trial)
{
    if (trial.ext.pushUrl.empty())
        return toQString(kTestPushNoUrl);
    const PushOutcome outcome = sendPush(trial.ext.pushUrl, kTestSend, std::string(), kTestText);
    return outcome.sent ? toQString(kTestPushSent) : withDetail(kTestPushFailed, outcome.reason);
}

void CRkEnvAramDialog::onRuleClicked()
{
    if (readControls())
        applyEnabling();
}

void CRkEnvAramDialog::copyTo(EnvSettings& settings) const
{
    settings.watchIntervalMinutes = std::clamp(values.watchIntervalMinutes, kIntervalMin, kIntervalMax);
    settings.alarmOnRemainingTime = values.alarmOnRemainingTime;
    settings.remainingTimeMinutes = std::clamp(values.remainingTimeMinutes, kRemainingMin, kRemainingMax);
    settings.alarmOnPriceChange = values.alarmOnPriceChange;
    settings.alarmChangesListColour = values.alarmChangesListColour;
    settings.alarmBackColour = values.alarmBackColour;
    settings.alarmTextColour = values.alarmTextColour;
    settings.alarmBalloon = values.alarmBalloon;
    settings.alarmMail = values.alarmMail;
    settings.smtpHost = values.smtpHost;
    // An encrypted connection's port outside the valid range would silently become the usual
    // one when mailing; the setting says so instead. The plain dialogue's port stays as stored.
    const int encryption = encryptionIndex(values.ext.mailEncryption);
    settings.smtpPort = encryption != 0 && (values.smtpPort < 1 || values.smtpPort > 65535)
                            ? usualPort(encryption)
                            : values.smtpPort;
    settings.mailFrom = values.mailFrom;
    settings.mailTo = values.mailTo;
    settings.popBeforeSmtp = values.popBeforeSmtp;
    settings.pop3Host = values.pop3Host;
    settings.pop3Port = values.pop3Port;
    settings.pop3User = values.pop3User;
    settings.pop3Password = values.pop3Password;
    settings.ext.nearEndFaster = values.ext.nearEndFaster;
    settings.ext.nearEndMinutes =
        std::clamp(values.ext.nearEndMinutes, kNearEndMinutesMin, kNearEndMinutesMax);
    settings.ext.nearEndIntervalSeconds =
        std::clamp(values.ext.nearEndIntervalSeconds, kNearEndSecondsMin, kNearEndSecondsMax);
    settings.ext.mailEncryption = encryption;
    settings.ext.smtpUser = values.ext.smtpUser;
    settings.ext.smtpPassword = values.ext.smtpPassword;
    settings.ext.pushEnabled = values.ext.pushEnabled;
    settings.ext.pushUrl = values.ext.pushUrl;
    settings.ext.quietEnabled = values.ext.quietEnabled;
    settings.ext.quietStart = values.ext.quietStart;
    settings.ext.quietEnd = values.ext.quietEnd;
    settings.ext.quietNearEndGoOut = values.ext.quietNearEndGoOut;
}

} // namespace pelimo
