#pragma once

#include "settings/EnvSettings.h"

#include <QWidget>
#include <string>

class QButtonGroup;
class QCheckBox;
class QLineEdit;

namespace pelimo {

// Page "general": where a double-clicked listing opens, the automatic refresh of the detail
// view after an alert update, the addresses of the listing service and the item pages, and
// whether the lists show the listings' pictures.
class CRkEnvStdDlg final : public QWidget {
    Q_OBJECT

public:
    CRkEnvStdDlg(const EnvSettings& settings, QWidget* parent = nullptr);

    // Reads the controls into the page's copies; an address that is neither empty nor an http
    // or https address is refused with a message, and nothing is taken over.
    bool readControls();
    void copyTo(EnvSettings& settings) const;

signals:
    void frontRequested();

private:
    bool readAddress(QLineEdit* field, const char* name, std::string& value);

    QButtonGroup* searchOpen;
    QButtonGroup* alertOpen;
    QCheckBox* autoRefresh;
    QLineEdit* listingBase;
    QLineEdit* itemPageBase;
    QCheckBox* showPictures;

    int32_t openSearchInBrowser;
    int32_t openAlertInBrowser;
    int32_t autoRefreshDetail;
    ExtSettings ext;
};

} // namespace pelimo
