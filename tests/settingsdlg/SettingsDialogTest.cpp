#include "platform/qt/MessageBox.h"
#include "platform/qt/QtText.h"
#include "platform/text/SjisText.h"
#include "settings/SettingsStore.h"
#include "settingsdlg/CRkColorButton.h"
#include "settingsdlg/CRkEnvDialg.h"
#include "settingsdlg/IntegerText.h"
#include "settingsdlg/PageLayout.h"
#include "settingsdlg/SpinBuddy.h"
#include "settingsdlg_texts.h"
#include "tests/support/PushReceiver.h"
#include "tests/support/SmtpSink.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestCertificates.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>
#include <memory>
#include <optional>
#include <vector>

using namespace pelimo;

namespace {

// A dialog over a record of its own that keeps every save instead of writing env.ini.
struct Harness {
    explicit Harness(const EnvSettings& start = defaultSettings()) : settings(start)
    {
        dialog = std::make_unique<CRkEnvDialg>(settings, nullptr,
                                               [this](const EnvSettings& s) { saves.push_back(s); });
        dialog->show();
    }

    template <typename T> T* get(const char* name) const
    {
        T* child = dialog->findChild<T*>(QLatin1String(name));
        if (!child)
            qFatal("no child %s", name);
        return child;
    }
    QTabWidget* tabs() const { return get<QTabWidget>("tabs"); }
    void ok() const { QTest::mouseClick(get<QPushButton>("ok"), Qt::LeftButton); }
    void cancel() const { QTest::mouseClick(get<QPushButton>("cancel"), Qt::LeftButton); }
    // Clicks near the left edge, where check boxes and radio buttons have their indicator.
    void click(const char* name) const
    {
        auto* button = get<QAbstractButton>(name);
        QTest::mouseClick(button, Qt::LeftButton, {},
                          QPoint(qMin(8, button->width() / 2), button->height() / 2));
    }

    EnvSettings settings;
    std::vector<EnvSettings> saves;
    std::unique_ptr<CRkEnvDialg> dialog;
};

// Names the first field where two records differ, so a failed comparison says which.
const char* firstDifference(const EnvSettings& a, const EnvSettings& b)
{
#define PELIMO_FIELD(f)                                                                                      \
    if (!(a.f == b.f))                                                                                       \
        return #f;
    PELIMO_FIELD(openSearchInBrowser)
    PELIMO_FIELD(openAlertInBrowser)
    PELIMO_FIELD(autoRefreshDetail)
    PELIMO_FIELD(typeColours)
    PELIMO_FIELD(watchIntervalMinutes)
    PELIMO_FIELD(alarmOnRemainingTime)
    PELIMO_FIELD(remainingTimeMinutes)
    PELIMO_FIELD(alarmOnPriceChange)
    PELIMO_FIELD(alarmChangesListColour)
    PELIMO_FIELD(alarmTextColour)
    PELIMO_FIELD(alarmBackColour)
    PELIMO_FIELD(alarmBalloon)
    PELIMO_FIELD(alarmMail)
    PELIMO_FIELD(popBeforeSmtp)
    PELIMO_FIELD(smtpHost)
    PELIMO_FIELD(smtpPort)
    PELIMO_FIELD(pop3Host)
    PELIMO_FIELD(pop3Port)
    PELIMO_FIELD(pop3User)
    PELIMO_FIELD(pop3Password)
    PELIMO_FIELD(mailFrom)
    PELIMO_FIELD(mailTo)
    PELIMO_FIELD(ext)
#undef PELIMO_FIELD
    return a == b ? "" : "?";
}

QColor previewTextColour(QTextEdit* preview)
{
    QTextCursor cursor(preview->document());
    cursor.setPosition(1);
    return cursor.charFormat().foreground().color();
}

// Says how a control's text is cut off in its box, or nothing when it shows whole: every line
// with the indicator of a check box or radio button fits the width, and the lines the height.
QString cutText(const QWidget* control)
{
    QString text;
    int indicator = 0;
    const QStyle* style = control->style();
    if (const auto* label = qobject_cast<const QLabel*>(control)) {
        text = label->text();
        if (label->wordWrap() && label->heightForWidth(label->width()) > label->height())
            return QStringLiteral("wrapped '%1' is taller than its box").arg(text);
        if (label->wordWrap())
            return {};
    } else if (const auto* check = qobject_cast<const QCheckBox*>(control)) {
        text = check->text();
        indicator = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, check) +
                    style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, check);
    } else if (const auto* radio = qobject_cast<const QRadioButton*>(control)) {
        text = radio->text();
        indicator = style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, radio) +
                    style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, radio);
    } else if (const auto* button = qobject_cast<const QPushButton*>(control)) {
        text = button->text();
    } else if (const auto* combo = qobject_cast<const QComboBox*>(control)) {
        // Wide enough for its longest entry and the arrow.
        if (combo->sizeHint().width() > combo->width())
            return QStringLiteral("'%1' needs %2 px, has %3")
                .arg(combo->currentText())
                .arg(combo->sizeHint().width())
                .arg(combo->width());
        return {};
    }
    if (text.isEmpty())
        return {};
    const QFontMetrics metrics(control->font());
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        if (metrics.horizontalAdvance(line) + indicator > control->width())
            return QStringLiteral("'%1' needs %2 px, has %3")
                .arg(line)
                .arg(metrics.horizontalAdvance(line) + indicator)
                .arg(control->width());
    }
    if (metrics.height() + (lines.size() - 1) * metrics.lineSpacing() > control->height())
        return QStringLiteral("'%1' is taller than its box").arg(text);
    return {};
}

// Says which control of a page has its text cut off or runs past the smallest group box around
// its top left corner or past the page, or nothing when all is well.
QString misfit(const QWidget* page)
{
    const auto children = page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (const QWidget* control : children) {
        const QString name = control->objectName().isEmpty()
                                 ? QLatin1String(control->metaObject()->className())
                                 : control->objectName();
        if (const QString cut = cutText(control); !cut.isEmpty())
            return name + QStringLiteral(": ") + cut;
        if (!page->rect().contains(control->geometry()))
            return name + QStringLiteral(" runs past the page");
        const QGroupBox* frame = nullptr;
        for (const QWidget* other : children) {
            const auto* group = qobject_cast<const QGroupBox*>(other);
            if (group && group != control && group->geometry().contains(control->geometry().topLeft()) &&
                (!frame || frame->geometry().contains(group->geometry())))
                frame = group;
        }
        if (frame && !frame->geometry().contains(control->geometry()))
            return name + QStringLiteral(" runs past its group box ") + frame->title();
    }
    return {};
}

} // namespace

class SettingsDialogTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        platform::MessageBox::setRecordingForTest(true);
        CRkColorButton::setNextPickForTest(std::nullopt);
    }

    void framePagesAndTabs()
    {
        Harness h;
        QCOMPARE(h.dialog->windowTitle(), platform::toQString(settingsdlg_texts::kDialogTitle));
        // Measured in Latin letters like the command bar, the dialog is narrower than the
        // 800 px main window (by the full-width glyphs it came to 819 px).
        QVERIFY2(h.dialog->width() < 800, qPrintable(QString::number(h.dialog->width())));
        QTabWidget* tabs = h.tabs();
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->tabText(0), platform::toQString(settingsdlg_texts::kTabGeneral));
        QCOMPARE(tabs->tabText(1), platform::toQString(settingsdlg_texts::kTabColours));
        QCOMPARE(tabs->tabText(2), platform::toQString(settingsdlg_texts::kTabAlert));

        const char* pages[] = {"generalPage", "coloursPage", "alertPage"};
        for (int shown = 0; shown < 3; ++shown) {
            tabs->setCurrentIndex(shown);
            for (int i = 0; i < 3; ++i) {
                QWidget* page = h.get<QWidget>(pages[i]);
                QCOMPARE(page->isVisible(), i == shown);
                // Each page lies inside the tab control, below its tabs.
                QVERIFY(tabs->rect().contains(page->geometry()));
                QVERIFY(page->geometry().top() >= tabs->tabBar()->geometry().bottom());
            }
        }
        QVERIFY(h.get<QWidget>("ok")->geometry().left() < h.get<QWidget>("cancel")->geometry().left());
        // With the alert page's mail, push and near-end rows it is taller than the 650 px main
        // window, but a screen 768 px high still shows it whole below a title bar and a panel.
        QVERIFY2(h.dialog->height() <= 690, qPrintable(QString::number(h.dialog->height())));
    }

    void everyTextShowsWhole_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addRow("general") << QStringLiteral("generalPage");
        QTest::addRow("colours") << QStringLiteral("coloursPage");
        QTest::addRow("alert") << QStringLiteral("alertPage");
        QTest::addRow("frame buttons") << QStringLiteral("envDialog");
    }

    void everyTextShowsWhole()
    {
        QFETCH(QString, page);
        Harness h;
        const QWidget* widget =
            page == h.dialog->objectName() ? h.dialog.get() : h.dialog->findChild<QWidget*>(page);
        QVERIFY(widget);
        const QString fault = misfit(widget);
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
    }

    // A row added later fits by the same rule: a field follows its grown label, a check box too
    // wide for its group box breaks onto two lines and what lies below moves down inside the box.
    void newRowsFitTheirTexts()
    {
        QWidget page;
        page.setFont(dialogFont());
        page.resize(pageWidth(DialogUnits(page.font())), 400);
        PageLayout layout(&page);
        auto* group = layout.place(new QGroupBox(QStringLiteral("設定"), &page), 4, 4, 200, 60);
        auto* label = layout.place(new QLabel(QStringLiteral("転送先メールアドレス"), &page), 10, 16, 20, 9);
        auto* field = layout.place(new QLineEdit(&page), 32, 14, 160, 12);
        auto* check = layout.place(new QCheckBox(QString(40, QChar(0x3042)), &page), 10, 30, 100, 10);
        auto* below = layout.place(new QLineEdit(&page), 10, 44, 60, 12);
        layout.apply();

        QVERIFY(field->x() > label->geometry().right());
        QCOMPARE(check->text().count(QLatin1Char('\n')), 1);
        QVERIFY(below->y() > check->geometry().bottom());
        QVERIFY(group->geometry().contains(below->geometry()));
        const QString fault = misfit(&page);
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
    }

    void mailCheckDrivesMailFields_data()
    {
        QTest::addColumn<int>("popBeforeSmtp");
        QTest::newRow("POP off") << 0;
        QTest::newRow("POP on") << 1;
    }

    void mailCheckDrivesMailFields()
    {
        QFETCH(int, popBeforeSmtp);
        EnvSettings start = defaultSettings();
        start.alarmMail = 1;
        start.popBeforeSmtp = popBeforeSmtp;
        Harness h(start);
        h.tabs()->setCurrentIndex(2);
        const char* mailFields[] = {"smtpHost", "mailFrom", "mailTo", "popBeforeSmtp"};
        const char* popFields[] = {"pop3Host", "pop3User", "pop3Password"};
        const char* alwaysOn[] = {"watchIntervalMinutes", "smtpPort",           "pop3Port",
                                  "alarmBalloon",         "alarmOnPriceChange", "watchIntervalSpin",
                                  "remainingTimeSpin"};

        auto expect = [&](bool mail, bool pop) {
            for (const char* name : mailFields)
                QVERIFY2(h.get<QWidget>(name)->isEnabled() == mail, name);
            for (const char* name : popFields)
                QVERIFY2(h.get<QWidget>(name)->isEnabled() == pop, name);
            for (const char* name : alwaysOn)
                QVERIFY2(h.get<QWidget>(name)->isEnabled(), name);
        };
        expect(true, popBeforeSmtp == 1);
        h.click("alarmMail");
        expect(false, false);
        QCOMPARE(h.get<QCheckBox>("popBeforeSmtp")->isChecked(), popBeforeSmtp == 1);
        h.click("alarmMail");
        expect(true, popBeforeSmtp == 1);
        h.click("popBeforeSmtp");
        expect(true, popBeforeSmtp != 1);
        QVERIFY(platform::MessageBox::takeRecordedForTest().isEmpty());
    }

    void remainingAndColourRules()
    {
        Harness h;
        h.tabs()->setCurrentIndex(2);
        QVERIFY(!h.get<QWidget>("remainingTimeMinutes")->isEnabled());
        QVERIFY(!h.get<QWidget>("alarmBackColour")->isEnabled());
        QVERIFY(!h.get<QWidget>("alarmTextColour")->isEnabled());
        h.click("alarmOnRemainingTime");
        QVERIFY(h.get<QWidget>("remainingTimeMinutes")->isEnabled());
        h.click("alarmChangesListColour");
        QVERIFY(h.get<QWidget>("alarmBackColour")->isEnabled());
        QVERIFY(h.get<QWidget>("alarmTextColour")->isEnabled());
    }

    void portsReadOnlyPasswordMasked()
    {
        EnvSettings start = defaultSettings();
        start.pop3Password = "hidden";
        Harness h(start);
        auto* smtpPort = h.get<QLineEdit>("smtpPort");
        auto* pop3Port = h.get<QLineEdit>("pop3Port");
        QCOMPARE(smtpPort->text(), QStringLiteral("25"));
        QCOMPARE(pop3Port->text(), QStringLiteral("110"));
        h.tabs()->setCurrentIndex(2);
        for (QLineEdit* port : {smtpPort, pop3Port}) {
            QVERIFY(port->isReadOnly());
            port->setFocus();
            QTest::keyClicks(port, QStringLiteral("9"));
        }
        QCOMPARE(smtpPort->text(), QStringLiteral("25"));
        QCOMPARE(pop3Port->text(), QStringLiteral("110"));
        auto* password = h.get<QLineEdit>("pop3Password");
        QCOMPARE(password->echoMode(), QLineEdit::Password);
        QVERIFY(!password->displayText().contains(QStringLiteral("hidden")));
    }

    // A number that does not read, or lies outside its field's range, keeps the dialog open
    // with a message that names the field (and the range, when it is one).
    void refusedNumberKeepsDialogOpen_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("named");
        QTest::addColumn<QString>("range");
        const QString interval = QStringLiteral("監視間隔");
        const QString remaining = QStringLiteral("残り時間");
        QTest::newRow("letters in interval")
            << QStringLiteral("watchIntervalMinutes") << QStringLiteral("abc") << interval << QString();
        QTest::newRow("empty interval")
            << QStringLiteral("watchIntervalMinutes") << QString() << interval << QString();
        QTest::newRow("trailing letter")
            << QStringLiteral("watchIntervalMinutes") << QStringLiteral("12x") << interval << QString();
        QTest::newRow("beyond 32 bits") << QStringLiteral("watchIntervalMinutes")
                                        << QStringLiteral("99999999999") << interval << QString();
        QTest::newRow("remaining minutes")
            << QStringLiteral("remainingTimeMinutes") << QStringLiteral("5.5") << remaining << QString();
        QTest::newRow("interval too large") << QStringLiteral("watchIntervalMinutes")
                                            << QStringLiteral("9999") << interval << QStringLiteral("1000");
        QTest::newRow("interval zero") << QStringLiteral("watchIntervalMinutes") << QStringLiteral("0")
                                       << interval << QStringLiteral("1000");
        QTest::newRow("remaining negative") << QStringLiteral("remainingTimeMinutes") << QStringLiteral("-1")
                                            << remaining << QStringLiteral("1000");
    }

    void refusedNumberKeepsDialogOpen()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(QString, named);
        QFETCH(QString, range);
        EnvSettings start = defaultSettings();
        start.alarmOnRemainingTime = 1;
        Harness h(start);
        auto* edit = h.get<QLineEdit>(field.toLatin1().constData());
        edit->setText(text);
        h.tabs()->setCurrentIndex(1);

        h.ok();
        const QStringList told = platform::MessageBox::takeRecordedForTest();
        QCOMPARE(told.size(), 1);
        QVERIFY2(told[0].contains(named), qPrintable(told[0]));
        QVERIFY2(told[0].contains(range), qPrintable(told[0]));
        QVERIFY(h.dialog->isVisible());
        QCOMPARE(h.dialog->result(), int(QDialog::Rejected));
        QCOMPARE(h.tabs()->currentIndex(), 2);
        QVERIFY(h.get<QWidget>("alertPage")->isVisible());
        QCOMPARE(h.dialog->focusWidget(), edit);
        QVERIFY(h.saves.empty());
        QCOMPARE(h.settings, start);
    }

    // The quiet period's times: stored as "HH:MM" from what was typed; a time that does not
    // read keeps the dialog open with a message naming the field, unless the period is off.
    void quietHoursTimesAreCheckedWhileThePeriodIsOn()
    {
        EnvSettings start = defaultSettings();
        Harness h(start);
        h.tabs()->setCurrentIndex(0);
        auto* check = h.get<QCheckBox>("quietEnabled");
        auto* from = h.get<QLineEdit>("quietStart");
        auto* to = h.get<QLineEdit>("quietEnd");
        QVERIFY(!from->isEnabled());
        QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(4, check->height() / 2));
        QVERIFY(check->isChecked());
        QVERIFY(from->isEnabled() && to->isEnabled());

        from->setText(QStringLiteral("２３：３０"));
        to->setText(QStringLiteral("24:00"));
        h.ok();
        const QStringList shown = platform::MessageBox::takeRecordedForTest();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].contains(QStringLiteral("通知しない時間帯の終了")), qPrintable(shown[0]));
        QVERIFY(h.dialog->isVisible());
        QCOMPARE(h.tabs()->currentIndex(), 2);
        QCOMPARE(h.dialog->focusWidget(), to);
        QVERIFY(h.saves.empty());

        to->setText(QStringLiteral("6:05"));
        h.get<QCheckBox>("quietNearEndGoOut")->setChecked(false);
        h.ok();
        QVERIFY(platform::MessageBox::takeRecordedForTest().isEmpty());
        QCOMPARE(h.saves.size(), size_t(1));
        QCOMPARE(h.settings.ext.quietEnabled, 1);
        QCOMPARE(h.settings.ext.quietStart, std::string("23:30"));
        QCOMPARE(h.settings.ext.quietEnd, std::string("06:05"));
        QCOMPARE(h.settings.ext.quietNearEndGoOut, 0);

        // Off, a time that does not read is no reason to keep the dialog open; it keeps the stored one.
        Harness off(h.settings);
        off.get<QCheckBox>("quietEnabled")->setChecked(false);
        off.get<QLineEdit>("quietStart")->setText(QStringLiteral("夜"));
        off.ok();
        QVERIFY(platform::MessageBox::takeRecordedForTest().isEmpty());
        QCOMPARE(off.settings.ext.quietEnabled, 0);
        QCOMPARE(off.settings.ext.quietStart, std::string("23:30"));
    }

    void addressesMustBeHttpOrHttps()
    {
        Harness h;
        auto* listing = h.get<QLineEdit>("listingBase");
        listing->setText(QStringLiteral("ftp://x"));
        h.tabs()->setCurrentIndex(2);
        h.ok();
        const QStringList told = platform::MessageBox::takeRecordedForTest();
        QCOMPARE(told.size(), 1);
        QVERIFY2(told[0].contains(QStringLiteral("リスティングサービス")), qPrintable(told[0]));
        QVERIFY(h.dialog->isVisible());
        QCOMPARE(h.tabs()->currentIndex(), 0);
        QVERIFY(h.get<QWidget>("generalPage")->isVisible());
        QCOMPARE(h.dialog->focusWidget(), listing);
        QVERIFY(h.saves.empty());

        listing->setText(QStringLiteral("https://example.test:8443"));
        h.get<QLineEdit>("itemPageBase")->setText(QStringLiteral("http://127.0.0.1:8931/"));
        h.ok();
        QVERIFY(platform::MessageBox::takeRecordedForTest().isEmpty());
        QCOMPARE(h.saves.size(), size_t(1));
        QCOMPARE(h.settings.ext.listingBase, std::string("https://example.test:8443"));
        QCOMPARE(h.settings.ext.itemPageBase, std::string("http://127.0.0.1:8931"));
    }

    void ruleClickWithBadNumberKeepsEnabling()
    {
        EnvSettings start = defaultSettings();
        start.alarmMail = 1;
        Harness h(start);
        h.tabs()->setCurrentIndex(2);
        h.get<QLineEdit>("watchIntervalMinutes")->setText(QStringLiteral("x"));
        h.click("alarmMail");
        QCOMPARE(platform::MessageBox::takeRecordedForTest().size(), 1);
        QVERIFY(h.get<QWidget>("smtpHost")->isEnabled());
        h.click("alarmOnRemainingTime");
        QCOMPARE(platform::MessageBox::takeRecordedForTest().size(), 1);
        QVERIFY(!h.get<QWidget>("remainingTimeMinutes")->isEnabled());
        // Once the number reads again the rules follow the boxes as they now stand.
        h.get<QLineEdit>("watchIntervalMinutes")->setText(QStringLiteral("7"));
        h.click("alarmChangesListColour");
        QVERIFY(platform::MessageBox::takeRecordedForTest().isEmpty());
        QVERIFY(!h.get<QWidget>("smtpHost")->isEnabled());
        QVERIFY(h.get<QWidget>("remainingTimeMinutes")->isEnabled());
        QVERIFY(h.get<QWidget>("alarmBackColour")->isEnabled());
    }

    void newTextColourShowsInPreviewAndCancelKeepsIt()
    {
        Harness h;
        h.tabs()->setCurrentIndex(1);
        auto* preview = h.get<QTextEdit>("preview2");
        QCOMPARE(preview->toPlainText(), platform::toQString(settingsdlg_texts::kTypeImmediate));
        QCOMPARE(previewTextColour(preview), QColor(64, 0, 0));
        QCOMPARE(preview->palette().color(QPalette::Base), QColor(255, 255, 255));
        QCOMPARE(preview->alignment(), Qt::AlignHCenter);
        QCOMPARE(preview->font().pointSize(), 11);
        QVERIFY(preview->isReadOnly());

        auto* button = h.get<CRkColorButton>("textColour2");
        CRkColorButton::setNextPickForTest(QColor(0, 128, 255));
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(previewTextColour(preview), QColor(0, 128, 255));
        QCOMPARE(button->colour(), makeColourRef(0, 128, 255));
        const QImage face = button->grab().toImage();
        QCOMPARE(face.pixelColor(face.width() / 2, face.height() / 2), QColor(0, 128, 255));

        CRkColorButton::setNextPickForTest(QColor(10, 20, 30));
        QTest::mouseClick(h.get<CRkColorButton>("backColour2"), Qt::LeftButton);
        QCOMPARE(preview->palette().color(QPalette::Base), QColor(10, 20, 30));
        QCOMPARE(previewTextColour(preview), QColor(0, 128, 255));
        QCOMPARE(previewTextColour(h.get<QTextEdit>("preview1")), QColor(64, 0, 0));

        h.cancel();
        QVERIFY(!h.dialog->isVisible());
        QVERIFY(h.saves.empty());
        QCOMPARE(h.settings, defaultSettings());
    }

    void cancelledPickerChangesNothing()
    {
        Harness h;
        h.tabs()->setCurrentIndex(2);
        h.click("alarmChangesListColour");
        auto* back = h.get<CRkColorButton>("alarmBackColour");
        CRkColorButton::setNextPickForTest(std::optional<QColor>{});
        QTest::mouseClick(back, Qt::LeftButton);
        QCOMPARE(back->colour(), ColourRef{255});
        h.ok();
        QCOMPARE(h.saves.size(), size_t{1});
        QCOMPARE(h.saves[0].alarmBackColour, ColourRef{255});
    }

    void okWritesExactlyTheEditedRecord()
    {
        EnvSettings start = defaultSettings();
        start.smtpHost = "old.example";
        start.pop3Port = 995;
        Harness h(start);
        EnvSettings expected = start;

        h.click("searchInBrowser");
        expected.openSearchInBrowser = 1;
        h.click("autoRefreshDetail");
        expected.autoRefreshDetail = 1;
        h.click("showPictures"); // on by default
        expected.ext.showPictures = 0;

        h.tabs()->setCurrentIndex(1);
        CRkColorButton::setNextPickForTest(QColor(1, 2, 3));
        h.click("backColour4");
        expected.typeColours[4].back = makeColourRef(1, 2, 3);
        CRkColorButton::setNextPickForTest(QColor(250, 0, 5));
        h.click("textColour0");
        expected.typeColours[0].text = makeColourRef(250, 0, 5);

        h.tabs()->setCurrentIndex(2);
        h.get<QLineEdit>("watchIntervalMinutes")->setText(QStringLiteral(" 42 "));
        expected.watchIntervalMinutes = 42;
        h.click("alarmOnRemainingTime");
        expected.alarmOnRemainingTime = 1;
        h.get<QLineEdit>("remainingTimeMinutes")->setText(QStringLiteral("0"));
        expected.remainingTimeMinutes = 0;
        h.click("alarmOnPriceChange");
        expected.alarmOnPriceChange = 1;
        h.click("alarmChangesListColour");
        expected.alarmChangesListColour = 1;
        CRkColorButton::setNextPickForTest(QColor(0, 255, 0));
        h.click("alarmTextColour");
        expected.alarmTextColour = makeColourRef(0, 255, 0);
        h.click("alarmBalloon");
        expected.alarmBalloon = 1;
        h.click("alarmMail");
        expected.alarmMail = 1;
        h.click("popBeforeSmtp");
        expected.popBeforeSmtp = 1;
        h.get<QLineEdit>("smtpHost")->setText(QStringLiteral("smtp.example"));
        expected.smtpHost = "smtp.example";
        h.get<QLineEdit>("mailFrom")->setText(QStringLiteral("a@example"));
        expected.mailFrom = "a@example";
        h.get<QLineEdit>("mailTo")->setText(QStringLiteral("b@example\n"));
        expected.mailTo = "b@example";
        h.get<QLineEdit>("pop3Host")->setText(QStringLiteral("pop.example"));
        expected.pop3Host = "pop.example";
        h.get<QLineEdit>("pop3User")->setText(QString::fromUtf8("\xe3\x83\xa6\xe3\x83\xbc\xe3\x82\xb6"));
        expected.pop3User = platform::fromQString(QString::fromUtf8("\xe3\x83\xa6\xe3\x83\xbc\xe3\x82\xb6"));
        h.get<QLineEdit>("pop3Password")->setText(QStringLiteral(" pw "));
        expected.pop3Password = " pw ";

        h.ok();
        QVERIFY(platform::MessageBox::takeRecordedForTest().isEmpty());
        QVERIFY(!h.dialog->isVisible());
        QCOMPARE(h.dialog->result(), int(QDialog::Accepted));
        QCOMPARE(h.saves.size(), size_t{1});
        QCOMPARE(firstDifference(h.saves[0], expected), "");
        QCOMPARE(firstDifference(h.settings, expected), "");
    }

    // The alert page's own settings load into their controls and go back on OK; the SMTP port
    // is editable only with encryption and follows the usual port of each choice.
    void alertExtrasRoundTripAndPortFollowsEncryption()
    {
        EnvSettings start = defaultSettings();
        start.alarmMail = 1;
        Harness h(start);
        h.tabs()->setCurrentIndex(2);
        auto* encryption = h.get<QComboBox>("mailEncryption");
        auto* port = h.get<QLineEdit>("smtpPort");
        auto* user = h.get<QLineEdit>("smtpUser");
        QCOMPARE(encryption->count(), 3);
        QCOMPARE(encryption->currentIndex(), 0);
        QVERIFY(port->isReadOnly());
        QVERIFY(!user->isEnabled());
        QVERIFY(!h.get<QWidget>("nearEndMinutes")->isEnabled());
        QVERIFY(!h.get<QWidget>("pushUrl")->isEnabled());

        struct Step {
            int encryption;
            const char* port;
        };
        for (const Step& step : {Step{1, "587"}, Step{2, "465"}, Step{0, "25"}, Step{2, "465"}}) {
            encryption->setCurrentIndex(step.encryption);
            QCOMPARE(port->text(), QLatin1String(step.port));
            QCOMPARE(port->isReadOnly(), step.encryption == 0);
            QCOMPARE(user->isEnabled(), step.encryption != 0);
        }
        port->setFocus();
        port->selectAll();
        QTest::keyClicks(port, QStringLiteral("2465"));
        encryption->setCurrentIndex(1); // a typed port stays
        QCOMPARE(port->text(), QStringLiteral("2465"));

        h.click("nearEndFaster");
        h.get<QLineEdit>("nearEndMinutes")->setText(QStringLiteral("1440"));
        h.get<QLineEdit>("nearEndIntervalSeconds")->setText(QStringLiteral("30"));
        user->setText(QStringLiteral("tester"));
        auto* password = h.get<QLineEdit>("smtpPassword");
        password->setText(QStringLiteral("s3cret"));
        QCOMPARE(password->echoMode(), QLineEdit::Password);
        h.click("pushEnabled");
        h.get<QLineEdit>("pushUrl")->setText(QStringLiteral(" https://ntfy.example/alerts "));
        h.ok();
        QVERIFY(platform::MessageBox::takeRecordedForTest().isEmpty());
        QCOMPARE(h.saves.size(), size_t{1});
        EnvSettings expected = start;
        expected.smtpPort = 2465;
        expected.ext.nearEndFaster = 1;
        expected.ext.nearEndMinutes = 1440;
        expected.ext.nearEndIntervalSeconds = 30;
        expected.ext.mailEncryption = 1;
        expected.ext.smtpUser = "tester";
        expected.ext.smtpPassword = "s3cret";
        expected.ext.pushEnabled = 1;
        expected.ext.pushUrl = "https://ntfy.example/alerts";
        QCOMPARE(firstDifference(h.saves[0], expected), "");

        // Opened again, the page shows what was saved.
        Harness again(h.settings);
        QCOMPARE(again.get<QComboBox>("mailEncryption")->currentIndex(), 1);
        QVERIFY(!again.get<QLineEdit>("smtpPort")->isReadOnly());
        QCOMPARE(again.get<QLineEdit>("nearEndMinutes")->text(), QStringLiteral("1440"));
        QCOMPARE(again.get<QLineEdit>("smtpPassword")->text(), QStringLiteral("s3cret"));
        QVERIFY(again.get<QCheckBox>("pushEnabled")->isChecked());
        // A port outside the valid range is refused, with the range, while it can be edited.
        again.get<QLineEdit>("smtpPort")->setText(QStringLiteral("0"));
        again.ok();
        const QStringList told = platform::MessageBox::takeRecordedForTest();
        QCOMPARE(told.size(), 1);
        QVERIFY2(told[0].contains(QStringLiteral("SMTP")) && told[0].contains(QStringLiteral("65535")),
                 qPrintable(told[0]));
        QVERIFY(again.saves.empty());
    }

    // The test button mails and pushes with what the page holds, unsaved, and says how each went.
    void testSendReportsMailAndPush()
    {
        static const test::TestCertificates certificates;
        QCOMPARE(certificates.startError(), std::string());
        test::SmtpSink server(certificates.submissionArguments("starttls"));
        QCOMPARE(server.startError(), std::string());
        const test::TrustedBundle trust(certificates.caFile());
        test::PushReceiver receiver;

        Harness h;
        h.tabs()->setCurrentIndex(2);
        h.get<QComboBox>("mailEncryption")->setCurrentIndex(1);
        h.get<QLineEdit>("smtpHost")->setText(QStringLiteral("127.0.0.1"));
        h.get<QLineEdit>("smtpPort")->setText(QString::number(server.port()));
        h.get<QLineEdit>("smtpUser")->setText(QStringLiteral("tester"));
        h.get<QLineEdit>("smtpPassword")->setText(QStringLiteral("s3cret"));
        h.get<QLineEdit>("mailFrom")->setText(QStringLiteral("watch@example.test"));
        h.get<QLineEdit>("mailTo")->setText(QStringLiteral("user@example.test"));
        h.get<QLineEdit>("pushUrl")->setText(QString::fromStdString(receiver.url()));

        // The click returns at once, the button held while the peers are asked.
        auto* button = h.get<QPushButton>("testSend");
        h.click("testSend");
        QVERIFY(!button->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(button->isEnabled(), 30000);
        using namespace settingsdlg_texts;
        QCOMPARE(platform::MessageBox::takeRecordedForTest(),
                 (QStringList{platform::toQString(kTestMailSent), platform::toQString(kTestPushSent)}));
        const std::vector<std::string> mails = server.messages();
        QCOMPARE(mails.size(), size_t{1});
        QVERIFY(mails[0].find(kTestText) != std::string::npos);
        const std::vector<std::string> pushes = receiver.requests();
        QCOMPARE(pushes.size(), size_t{1});
        QVERIFY(pushes[0].ends_with("\r\n\r\n" + platform::sjisToUtf8(kTestText)));

        h.get<QLineEdit>("smtpPassword")->setText(QStringLiteral("wrong"));
        h.get<QLineEdit>("pushUrl")->clear();
        h.click("testSend");
        QTRY_VERIFY_WITH_TIMEOUT(button->isEnabled(), 30000);
        QCOMPARE(platform::MessageBox::takeRecordedForTest(),
                 (QStringList{platform::toQString(kTestMailFailed) +
                                  QStringLiteral("\n\uFF08SMTP LOGIN REFUSED\uFF09"),
                              platform::toQString(kTestPushNoUrl)}));
        QCOMPARE(server.messages().size(), size_t{1});
        QVERIFY(h.saves.empty());
        QCOMPARE(h.settings, defaultSettings());
    }

    void defaultSaveWritesEnvIniOnOkOnly()
    {
        const test::TempFolder folder("pelimo-settingsdlg");
        QVERIFY(!folder.path().empty());
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(QString::fromStdString(folder.path())));
        EnvSettings settings = defaultSettings();
        {
            CRkEnvDialg dialog(settings);
            dialog.show();
            dialog.findChild<QLineEdit*>(QStringLiteral("watchIntervalMinutes"))
                ->setText(QStringLiteral("9"));
            dialog.reject();
        }
        const bool writtenOnCancel = QFileInfo::exists(QStringLiteral("env.ini"));
        {
            CRkEnvDialg dialog(settings);
            dialog.show();
            dialog.findChild<QLineEdit*>(QStringLiteral("watchIntervalMinutes"))
                ->setText(QStringLiteral("9"));
            dialog.accept();
        }
        EnvSettings loaded;
        loadSettingsFrom(settingsFilePath(), loaded);
        QVERIFY(QDir::setCurrent(previous));
        QVERIFY(!writtenOnCancel);
        QCOMPARE(settings.watchIntervalMinutes, 9);
        QCOMPARE(firstDifference(loaded, settings), "");
    }

    void untouchedOkKeepsOddStoredValues()
    {
        // Values no control can show go back as they came, apart from the clamped numbers.
        EnvSettings start = defaultSettings();
        start.openAlertInBrowser = 2;
        start.smtpPort = 587;
        Harness h(start);
        h.ok();
        QCOMPARE(h.saves.size(), size_t{1});
        QCOMPARE(firstDifference(h.saves[0], start), "");
    }

    void numbersAtTheBoundsOfTheirRangesAreSaved()
    {
        EnvSettings start = defaultSettings();
        start.alarmOnRemainingTime = 1;
        Harness h(start);
        h.get<QLineEdit>("watchIntervalMinutes")->setText(QStringLiteral("1000"));
        h.get<QLineEdit>("remainingTimeMinutes")->setText(QStringLiteral("0"));
        h.ok();
        QVERIFY(platform::MessageBox::takeRecordedForTest().isEmpty());
        QCOMPARE(h.saves.size(), size_t{1});
        QCOMPARE(h.saves[0].watchIntervalMinutes, 1000);
        QCOMPARE(h.saves[0].remainingTimeMinutes, 0);
    }

    void spinArrowsStopAtTheirRanges_data()
    {
        QTest::addColumn<QString>("spin");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("arrow");
        QTest::addColumn<QString>("afterTwoClicks");
        QTest::newRow("interval floor") << "watchIntervalSpin"
                                        << "watchIntervalMinutes"
                                        << "2"
                                        << "down"
                                        << "1";
        QTest::newRow("interval ceiling") << "watchIntervalSpin"
                                          << "watchIntervalMinutes"
                                          << "999"
                                          << "up"
                                          << "1000";
        QTest::newRow("remaining floor") << "remainingTimeSpin"
                                         << "remainingTimeMinutes"
                                         << "1"
                                         << "down"
                                         << "0";
        QTest::newRow("remaining ceiling") << "remainingTimeSpin"
                                           << "remainingTimeMinutes"
                                           << "999"
                                           << "up"
                                           << "1000";
        QTest::newRow("typed below range") << "watchIntervalSpin"
                                           << "watchIntervalMinutes"
                                           << "0"
                                           << "up"
                                           << "3";
        // Without a number in the field the arrows go on from the stored value, 5.
        QTest::newRow("no number") << "watchIntervalSpin"
                                   << "watchIntervalMinutes"
                                   << "abc"
                                   << "up"
                                   << "7";
    }

    void spinArrowsStopAtTheirRanges()
    {
        QFETCH(QString, spin);
        QFETCH(QString, field);
        QFETCH(QString, start);
        QFETCH(QString, arrow);
        QFETCH(QString, afterTwoClicks);
        EnvSettings settings = defaultSettings();
        settings.alarmOnRemainingTime = 1;
        Harness h(settings);
        h.tabs()->setCurrentIndex(2);
        auto* edit = h.get<QLineEdit>(field.toLatin1().constData());
        auto* button = h.get<SpinBuddy>(spin.toLatin1().constData())->findChild<QAbstractButton*>(arrow);
        QVERIFY(button);
        edit->setText(start);
        QTest::mouseClick(button, Qt::LeftButton);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(edit->text(), afterTwoClicks);
        QCOMPARE(edit->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    }

    void wholeIntegerText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << "15" << true << 15;
        QTest::newRow("blanks around") << "  7 " << true << 7;
        QTest::newRow("signs") << "-12" << true << -12;
        QTest::newRow("plus") << "+3" << true << 3;
        QTest::newRow("lowest") << "-2147483648" << true << -2147483647 - 1;
        QTest::newRow("highest") << "2147483647" << true << 2147483647;
        QTest::newRow("overflow") << "2147483648" << false << 0;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("blank") << "  " << false << 0;
        QTest::newRow("sign only") << "-" << false << 0;
        QTest::newRow("inner blank") << "1 2" << false << 0;
        QTest::newRow("comma") << "1,000" << false << 0;
    }

    void wholeIntegerText()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(int, value);
        const auto parsed = wholeInteger(text.toStdString());
        QCOMPARE(parsed.has_value(), valid);
        if (valid)
            QCOMPARE(*parsed, value);
    }
};

QTEST_MAIN(SettingsDialogTest)
#include "SettingsDialogTest.moc"
