#include "settingsdlg/CRkEnvAramDialog.h"

#include "platform/qt/MessageBox.h"
#include "platform/qt/QtText.h"
#include "settingsdlg/CRkColorButton.h"
#include "settingsdlg/IntegerText.h"
#include "settingsdlg/PageLayout.h"
#include "settingsdlg/SpinBuddy.h"
#include "settingsdlg_texts.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>

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

} // namespace

CRkEnvAramDialog::CRkEnvAramDialog(const EnvSettings& settings, QWidget* parent)
    : QWidget(parent), values(settings)
{
    setObjectName(QStringLiteral("alertPage"));
    setFont(dialogFont());
    PageLayout layout(this);

    auto* outer = new QGroupBox(toQString(kAlertSettings), this);
    layout.add(outer, 2, 2, 252, 250);
    auto* conditions = new QGroupBox(toQString(kAlarmConditions), this);
    layout.add(conditions, 8, 30, 240, 54);
    auto* actions = new QGroupBox(toQString(kAlarmActions), this);
    layout.add(actions, 8, 88, 240, 158);

    interval = addField(layout, kWatchInterval, "watchIntervalMinutes", 12, 60, 13, 30);
    intervalSpin = new SpinBuddy(this);
    intervalSpin->setObjectName(QStringLiteral("watchIntervalSpin"));
    layout.add(intervalSpin, 90, 13, 8, 12);

    remainingCheck = addCheck(layout, kAlarmOnRemaining, "alarmOnRemainingTime", 14, 40, 180);
    remaining = addField(layout, kRemainingMinutes, "remainingTimeMinutes", 26, 70, 52, 30);
    remainingSpin = new SpinBuddy(this);
    remainingSpin->setObjectName(QStringLiteral("remainingTimeSpin"));
    layout.add(remainingSpin, 100, 52, 8, 12);
    priceCheck = addCheck(layout, kAlarmOnPrice, "alarmOnPriceChange", 14, 68, 180);

    listColourCheck = addCheck(layout, kChangeListColour, "alarmChangesListColour", 14, 98, 70);
    auto* backLabel = new QLabel(toQString(kBackColour), this);
    layout.add(backLabel, 92, 99, 16, 9);
    backButton = new CRkColorButton(this);
    backButton->setObjectName(QStringLiteral("alarmBackColour"));
    layout.add(backButton, 110, 97, 22, 12);
    auto* textLabel = new QLabel(toQString(kTextColour), this);
    layout.add(textLabel, 142, 99, 16, 9);
    textButton = new CRkColorButton(this);
    textButton->setObjectName(QStringLiteral("alarmTextColour"));
    layout.add(textButton, 160, 97, 22, 12);
    balloonCheck = addCheck(layout, kBalloon, "alarmBalloon", 14, 113, 226);

    mailCheck = addCheck(layout, kMail, "alarmMail", 14, 127, 120);
    smtpHostField = addField(layout, kSmtpServer, "smtpHost", 26, 70, 139, 100);
    smtpPortField = addField(layout, kPortNumber, "smtpPort", 180, 204, 139, 30);
    mailFromField = addField(layout, kMailFrom, "mailFrom", 26, 70, 152, 164);
    mailToField = addField(layout, kMailTo, "mailTo", 26, 70, 165, 164);
    auto* note = new QLabel(toQString(kSenderNote), this);
    note->setObjectName(QStringLiteral("senderNote"));
    layout.add(note, 26, 179, 208, 17);

    popCheck = addCheck(layout, kPopBeforeSmtp, "popBeforeSmtp", 14, 199, 120);
    pop3HostField = addField(layout, kPop3Server, "pop3Host", 26, 70, 211, 100);
    pop3PortField = addField(layout, kPortNumber, "pop3Port", 180, 204, 211, 30);
    pop3UserField = addField(layout, kPop3User, "pop3User", 26, 70, 224, 64);
    pop3PasswordField = addField(layout, kPop3Password, "pop3Password", 142, 166, 224, 68);

    for (QLineEdit* number : {interval, remaining, smtpPortField, pop3PortField})
        number->setAlignment(Qt::AlignRight);
    for (QLineEdit* port : {smtpPortField, pop3PortField})
        port->setReadOnly(true);
    pop3PasswordField->setEchoMode(QLineEdit::Password);
    layout.apply();

    // Show the copies.
    remainingCheck->setChecked(isOn(values.alarmOnRemainingTime));
    priceCheck->setChecked(isOn(values.alarmOnPriceChange));
    listColourCheck->setChecked(isOn(values.alarmChangesListColour));
    balloonCheck->setChecked(isOn(values.alarmBalloon));
    mailCheck->setChecked(isOn(values.alarmMail));
    popCheck->setChecked(isOn(values.popBeforeSmtp));
    smtpHostField->setText(toQString(values.smtpHost));
    smtpPortField->setText(QString::number(values.smtpPort));
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

    for (QCheckBox* rule : {remainingCheck, listColourCheck, mailCheck, popCheck})
        connect(rule, &QCheckBox::clicked, this, &CRkEnvAramDialog::onRuleClicked);
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

bool CRkEnvAramDialog::readNumber(QLineEdit* field, int32_t& value)
{
    if (const auto number = wholeInteger(fromQString(field->text()))) {
        value = *number;
        return true;
    }
    emit frontRequested();
    platform::MessageBox::information(this, QStringLiteral("Please enter an integer."));
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
    return false;
}

bool CRkEnvAramDialog::readControls()
{
    // Nothing is taken over unless every number reads.
    EnvSettings read = values;
    if (!readNumber(interval, read.watchIntervalMinutes) ||
        !readNumber(remaining, read.remainingTimeMinutes) || !readNumber(smtpPortField, read.smtpPort) ||
        !readNumber(pop3PortField, read.pop3Port))
        return false;
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
    settings.smtpPort = values.smtpPort;
    settings.mailFrom = values.mailFrom;
    settings.mailTo = values.mailTo;
    settings.popBeforeSmtp = values.popBeforeSmtp;
    settings.pop3Host = values.pop3Host;
    settings.pop3Port = values.pop3Port;
    settings.pop3User = values.pop3User;
    settings.pop3Password = values.pop3Password;
}

} // namespace pelimo
