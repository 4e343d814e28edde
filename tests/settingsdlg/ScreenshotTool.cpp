// Writes a picture of each page of the settings dialog, filled with sample values, into the
// folder named on the command line.
#include "settings/SettingsStore.h"
#include "settingsdlg/CRkEnvDialg.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTabWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");

    pelimo::EnvSettings settings = pelimo::defaultSettings();
    settings.alarmOnRemainingTime = 1;
    settings.alarmMail = 1;
    settings.smtpHost = "smtp.example.net";
    settings.mailFrom = "watcher@example.net";
    settings.mailTo = "me@example.net";
    settings.smtpPort = 587;
    settings.ext.mailEncryption = 1;
    settings.ext.smtpUser = "watcher";
    settings.ext.smtpPassword = "secret";
    settings.ext.nearEndFaster = 1;
    settings.ext.pushEnabled = 1;
    settings.ext.pushUrl = "https://push.example.net/alerts";
    settings.pop3Password = "secret";
    settings.typeColours[1] = {pelimo::makeColourRef(0, 0, 160), pelimo::makeColourRef(255, 255, 200)};
    settings.typeColours[2] = {pelimo::makeColourRef(200, 0, 0), pelimo::makeColourRef(230, 255, 230)};

    pelimo::CRkEnvDialg dialog(settings, nullptr, [](const pelimo::EnvSettings&) {});
    dialog.show();
    auto* tabs = dialog.findChild<QTabWidget*>(QStringLiteral("tabs"));
    const char* names[] = {"settings-general.png", "settings-colours.png", "settings-alert.png"};
    for (int i = 0; i < 3; ++i) {
        tabs->setCurrentIndex(i);
        QApplication::processEvents();
        if (!dialog.grab().save(QDir(folder).filePath(QLatin1String(names[i]))))
            return 1;
    }
    return 0;
}
