#include "platform/qt/DefaultBrowser.h"

#include "platform/qt/QtText.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTimer>
#include <optional>

namespace pelimo::platform {

namespace {

// How long the desktop may take to name its browser before the answer counts as "none".
constexpr int kLookupLimitMs = 5000;

struct LauncherState {
    QString overrideProgram; // set through setBrowserProgram
    bool overrideSet = false;
    QString opener;            // xdg-open, once the desktop named a browser
    QPointer<QProcess> lookup; // the running question, if any
    QStringList waiting;       // addresses to open when it is answered
};

LauncherState& state()
{
    static LauncherState s;
    return s;
}

QString executableOf(const QString& program)
{
    if (program.contains(QLatin1Char('/'))) {
        const QFileInfo info(program);
        return info.isFile() && info.isExecutable() ? info.absoluteFilePath() : QString();
    }
    return QStandardPaths::findExecutable(program);
}

// An explicit launcher, when one is set or named by the environment.
std::optional<QString> overrideLauncher()
{
    const LauncherState& s = state();
    if (s.overrideSet) {
        return executableOf(s.overrideProgram);
    }
    const QByteArray env = qgetenv("PELIMO_BROWSER_COMMAND");
    if (!env.isEmpty()) {
        return executableOf(QString::fromLocal8Bit(env));
    }
    return std::nullopt;
}

void lookupFinished(QProcess* query, const QString& opener, bool answered)
{
    LauncherState& s = state();
    if (s.lookup != query) {
        return;
    }
    s.lookup = nullptr;
    const bool named = answered && query->exitStatus() == QProcess::NormalExit && query->exitCode() == 0 &&
                       !query->readAllStandardOutput().trimmed().isEmpty();
    query->deleteLater();
    QStringList addresses;
    addresses.swap(s.waiting);
    if (!named) {
        return;
    }
    s.opener = opener;
    for (const QString& address : addresses) {
        QProcess::startDetached(opener, QStringList{address});
    }
}

// xdg-open on its own would fall back to whatever it finds; the desktop has a browser only
// when xdg-settings names one.
// false when the desktop has no way to name one.
bool startLookup()
{
    LauncherState& s = state();
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    const QString settings = QStandardPaths::findExecutable(QStringLiteral("xdg-settings"));
    if (opener.isEmpty() || settings.isEmpty()) {
        s.waiting.clear();
        return false;
    }
    // Owned by the application, so a question still running at exit goes with it.
    auto* query = new QProcess(QCoreApplication::instance());
    s.lookup = query;
    QObject::connect(query, &QProcess::finished, query,
                     [query, opener] { lookupFinished(query, opener, true); });
    QObject::connect(query, &QProcess::errorOccurred, query, [query, opener](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            lookupFinished(query, opener, false);
        }
    });
    QTimer::singleShot(kLookupLimitMs, query, [query, opener] {
        query->kill();
        lookupFinished(query, opener, false);
    });
    query->start(settings, {QStringLiteral("get"), QStringLiteral("default-web-browser")});
    return true;
}

} // namespace

void setBrowserProgram(const QString& program)
{
    LauncherState& s = state();
    s.overrideProgram = program;
    s.overrideSet = !program.isEmpty();
    s.opener.clear();
}

bool isBrowserLookupRunning()
{
    return !state().lookup.isNull();
}

bool openInDefaultBrowser(const std::string& address)
{
    if (address.empty()) {
        return false;
    }
    if (const std::optional<QString> launcher = overrideLauncher()) {
        return !launcher->isEmpty() && QProcess::startDetached(*launcher, QStringList{toQString(address)});
    }
    LauncherState& s = state();
    if (!s.opener.isEmpty()) {
        return QProcess::startDetached(s.opener, QStringList{toQString(address)});
    }
    s.waiting.append(toQString(address));
    return !s.lookup.isNull() || startLookup();
}

} // namespace pelimo::platform
