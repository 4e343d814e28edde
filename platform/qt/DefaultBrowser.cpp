#include "platform/qt/DefaultBrowser.h"

#include "platform/qt/QtText.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <optional>

namespace pelimo::platform {

namespace {

struct LauncherState {
    QString overrideProgram; // set through setBrowserProgram
    bool overrideSet = false;
    std::optional<QString> usable; // cached result of the registration check; empty = none
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

// xdg-open on its own would fall back to whatever it finds; the desktop has a browser only
// when xdg-settings names one.
bool desktopNamesBrowser()
{
    const QString settings = QStandardPaths::findExecutable(QStringLiteral("xdg-settings"));
    if (settings.isEmpty()) {
        return false;
    }
    QProcess query;
    query.start(settings, {QStringLiteral("get"), QStringLiteral("default-web-browser")});
    if (!query.waitForFinished(5000)) {
        query.kill();
        query.waitForFinished(1000);
        return false;
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0) {
        return false;
    }
    return !query.readAllStandardOutput().trimmed().isEmpty();
}

QString findLauncher()
{
    LauncherState& s = state();
    if (!s.overrideSet) {
        const QByteArray env = qgetenv("PELIMO_BROWSER_COMMAND");
        if (!env.isEmpty()) {
            return executableOf(QString::fromLocal8Bit(env));
        }
    } else if (!s.overrideProgram.isEmpty()) {
        return executableOf(s.overrideProgram);
    }
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty() || !desktopNamesBrowser()) {
        return {};
    }
    return opener;
}

} // namespace

void setBrowserProgram(const QString& program)
{
    LauncherState& s = state();
    s.overrideProgram = program;
    s.overrideSet = !program.isEmpty();
    s.usable.reset();
}

bool openInDefaultBrowser(const std::string& address)
{
    if (address.empty()) {
        return false;
    }
    LauncherState& s = state();
    if (!s.usable) {
        s.usable = findLauncher();
    }
    if (s.usable->isEmpty()) {
        return false;
    }
    return QProcess::startDetached(*s.usable, QStringList{toQString(address)});
}

} // namespace pelimo::platform
