#include "app/AboutText.h"

#include "AppTexts.h"
#include "platform/qt/QtText.h"

#include <QDir>
#include <curl/curl.h>
#include <libxml/parser.h>
#include <sqlite3.h>

namespace pelimo {

namespace {

// libxml2 gives its version as one number, 20914 for 2.9.14.
QString libxmlVersion()
{
    bool read = false;
    const int number = QString::fromLatin1(xmlParserVersion).toInt(&read);
    if (!read)
        return QString::fromLatin1(xmlParserVersion);
    return QStringLiteral("%1.%2.%3").arg(number / 10000).arg(number / 100 % 100).arg(number % 100);
}

} // namespace

QString aboutText()
{
    // The versions of the libraries loaded now, which a package update may have changed since
    // the build.
    const curl_version_info_data* curl = curl_version_info(CURLVERSION_NOW);
    const QString libraries =
        QStringLiteral("Qt %1\nlibcurl %2\nlibxml2 %3\nSQLite %4")
            .arg(QString::fromLatin1(qVersion()), QString::fromLatin1(curl != nullptr ? curl->version : "?"),
                 libxmlVersion(), QString::fromLatin1(sqlite3_libversion()));
    return platform::toQString(app_text::kAboutText) + QStringLiteral("\n\n") +
           platform::toQString(app_text::kAboutDataFolder) + QDir::toNativeSeparators(QDir::currentPath()) +
           QStringLiteral("\n\n") + platform::toQString(app_text::kAboutLibraries) + QLatin1Char('\n') +
           libraries;
}

} // namespace pelimo
