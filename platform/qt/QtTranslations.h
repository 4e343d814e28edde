#pragma once

class QCoreApplication;
class QTranslator;

namespace pelimo::platform {

// Installs Qt's own Japanese texts (standard buttons, the colour chooser) from the system's Qt
// translations, so Qt's dialogs speak the program's language. Returns the installed
// translator, owned by the application (deleting it uninstalls it), or nullptr when the
// system has no Japanese translations for Qt.
QTranslator* installQtTranslations(QCoreApplication& app);

} // namespace pelimo::platform
