#pragma once

#include "app/settings/EnvSettings.h"

#include <QWidget>

class QButtonGroup;
class QCheckBox;

namespace pelimo {

// Page "general": where a double-clicked listing opens, and the automatic refresh of the
// detail view after an alert update.
class CRkEnvStdDlg final : public QWidget {
    Q_OBJECT

public:
    CRkEnvStdDlg(const EnvSettings& settings, QWidget* parent = nullptr);

    // Reads the controls into the page's copies; this page has no field that can fail.
    bool readControls();
    void copyTo(EnvSettings& settings) const;

private:
    QButtonGroup* searchOpen;
    QButtonGroup* alertOpen;
    QCheckBox* autoRefresh;

    int32_t openSearchInBrowser;
    int32_t openAlertInBrowser;
    int32_t autoRefreshDetail;
};

} // namespace pelimo
