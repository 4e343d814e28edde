// The alarm alert against a real notification daemon: dunst on the private session bus that
// dbus-run-session gives this process, drawing on an Xvfb display of its own. The program
// itself runs offscreen, where there is no tray.
#include "app/CMainFrame.h"
#include "app/CRkCmdDialog.h"
#include "platform/qt/DefaultBrowser.h"
#include "platform/qt/QtEventPump.h"
#include "platform/text/SjisText.h"
#include "settings/SettingsStore.h"
#include "tests/app/ShellFixture.h"
#include "watch/AlarmRules.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace pelimo;

namespace {

// Xvfb and dunst, started for the suite and stopped with it.
class DunstSession {
public:
    ~DunstSession()
    {
        for (QProcess* p : {&dunst, &xvfb}) {
            p->terminate();
            p->waitForFinished(5000);
        }
    }

    // Empty on success, else why the session could not be had.
    QString start(const QString& configHome)
    {
        if (qEnvironmentVariableIsEmpty("PELIMO_TEST_PRIVATE_BUS"))
            return QStringLiteral("needs the private session bus of dbus-run-session");
        for (const char* program : {"Xvfb", "dunst", "dunstctl"}) {
            if (QStandardPaths::findExecutable(QLatin1String(program)).isEmpty())
                return QStringLiteral("%1 is not installed").arg(QLatin1String(program));
        }
        // Xvfb picks a free display and writes its number.
        xvfb.start(QStringLiteral("Xvfb"),
                   {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                    QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                    QStringLiteral("tcp")});
        QByteArray number;
        while (!number.endsWith('\n') && xvfb.waitForReadyRead(10000))
            number += xvfb.readAllStandardOutput();
        if (number.trimmed().isEmpty())
            return QStringLiteral("Xvfb gave no display");

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), QLatin1Char(':') + QString::fromLatin1(number.trimmed()));
        // The system's dunstrc, not one in the home folder of whoever runs the suite.
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
        dunst.setProcessEnvironment(env);
        dunst.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        dunst.start(QStringLiteral("dunst"), {});
        QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
        if (bus == nullptr)
            return QStringLiteral("no session bus");
        for (int i = 0; i < 100 && !bus->isServiceRegistered(QStringLiteral("org.freedesktop.Notifications"));
             ++i)
            QTest::qWait(100);
        return bus->isServiceRegistered(QStringLiteral("org.freedesktop.Notifications")).value()
                   ? QString()
                   : QStringLiteral("dunst did not take the notification service");
    }

    static QByteArray ctl(const QStringList& args)
    {
        QProcess p;
        p.start(QStringLiteral("dunstctl"), args);
        p.waitForFinished(10000);
        return p.readAllStandardOutput();
    }

    // Closes what is on screen and returns the notifications dunst has received, newest first.
    static QJsonArray received()
    {
        ctl({QStringLiteral("close-all")});
        const QJsonObject history = QJsonDocument::fromJson(ctl({QStringLiteral("history")})).object();
        return history.value(QStringLiteral("data")).toArray().at(0).toArray();
    }

    static QString field(const QJsonValue& notification, const char* name)
    {
        return notification.toObject()
            .value(QLatin1String(name))
            .toObject()
            .value(QStringLiteral("data"))
            .toString();
    }

private:
    QProcess xvfb;
    QProcess dunst;
};

ItemInfo listing(const char* no, const char* nameUtf8)
{
    ItemInfo item;
    item.ItemNo = no;
    item.ItemName = platform::utf8ToSjis(nameUtf8);
    item.CurrentPrice = "1000";
    item.RemainTime = platform::utf8ToSjis("5分");
    return item;
}

} // namespace

class AlertNotifyTest final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString previousDir;
    DunstSession session;
    EnvSettings settings;
    Endpoints endpoints;
    platform::WorkQueue deliveries;

    // Three listings newly in alarm, as the update cycle gathers them.
    static AlarmCollection threeNewAlarms()
    {
        AlarmCollection alarms;
        for (const ItemInfo& item : {listing("x1", "カメラ"), listing("x2", "時計"), listing("x3", "本")}) {
            AramEntry entry{0, item};
            alarms.addUpdated(entry, item, 1);
        }
        return alarms;
    }

    std::unique_ptr<CMainFrame> makeFrame()
    {
        auto frame = std::make_unique<CMainFrame>(settings, endpoints, deliveries);
        frame->show();
        return frame;
    }

private Q_SLOTS:
    void initTestCase()
    {
        settings = defaultSettings();
        previousDir = QDir::currentPath();
        QDir::setCurrent(dir.path());
        const QString missing = session.start(dir.path());
        if (!missing.isEmpty())
            QSKIP(qPrintable(missing));
    }

    void cleanupTestCase() { QDir::setCurrent(previousDir); }

    // Each case starts with no notification on screen, so that what it counts and invokes is
    // its own and not one an earlier case left showing.
    void init()
    {
        DunstSession::ctl({QStringLiteral("close-all")});
        QTRY_VERIFY_WITH_TIMEOUT(
            DunstSession::ctl({QStringLiteral("count"), QStringLiteral("displayed")}).trimmed() == "0",
            10000);
        DunstSession::received();
    }

    void alarmArrivesAsADesktopNotification()
    {
        auto frame = makeFrame();
        const AlarmCollection alarms = threeNewAlarms();
        frame->showBalloon(alarms.balloonText(), alarms.firstNew());

        QJsonArray got;
        QTRY_VERIFY_WITH_TIMEOUT((got = DunstSession::received()).size() == 1, 10000);
        QCOMPARE(DunstSession::field(got[0], "appname"), QStringLiteral("Pelimo for zelvo"));
        QCOMPARE(DunstSession::field(got[0], "summary"), QStringLiteral("アラート情報"));
        QCOMPARE(DunstSession::field(got[0], "body"),
                 QStringLiteral("【x1】\nカメラ\n価格 1000　残り時間 5分\n\nその他 2件の商品があります。"));
        QCOMPARE(DunstSession::field(got[0], "default_action_name"), QStringLiteral("default"));
        // The status bar is left alone.
        QCOMPARE(frame->messagePaneText(), QStringLiteral("レディ"));
    }

    void invokingTheNotificationOpensTheFirstListing()
    {
        const QString opened = test::installBrowserStandIn(dir.path());
        settings.openAlertInBrowser = 1;

        auto frame = makeFrame();
        const AlarmCollection alarms = threeNewAlarms();
        frame->showBalloon(alarms.balloonText(), alarms.firstNew());
        QTRY_VERIFY_WITH_TIMEOUT(
            DunstSession::ctl({QStringLiteral("count"), QStringLiteral("displayed")}).trimmed() == "1",
            10000);
        DunstSession::ctl({QStringLiteral("action"), QStringLiteral("0")});

        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(opened), 10000);
        QFile f(opened);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY2(f.readAll().trimmed().endsWith("pitem_GKx1"), "the first new alarm's page");
        QCOMPARE(frame->cmdBar()->paneMode(), 1);
        platform::setBrowserProgram({});
        DunstSession::received();
    }
};

int main(int argc, char** argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    platform::installQtEventPump();
    AlertNotifyTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "AlertNotifyTest.moc"
