#pragma once

#include "settings/EnvSettings.h"

#include <QDialog>
#include <array>
#include <functional>

class QPushButton;
class QTabWidget;

namespace pelimo {

class CRkEnvAramDialog;
class CRkEnvItemDialog;
class CRkEnvStdDlg;

// The modal settings dialog: three pages over a tab control. The pages edit copies; only OK
// takes them into the settings record and saves it.
class CRkEnvDialg final : public QDialog {
    Q_OBJECT

public:
    using SaveFunction = std::function<void(const EnvSettings&)>;

    // save writes the record to env.ini; tests hand in their own.
    CRkEnvDialg(EnvSettings& settings, QWidget* parent = nullptr, SaveFunction save = {});

    void accept() override;

private:
    void showPage(int index);
    void placePages(int top);

    EnvSettings& settings;
    SaveFunction save;
    QTabWidget* tabs;
    CRkEnvStdDlg* general;
    CRkEnvItemDialog* colours;
    CRkEnvAramDialog* alert;
    std::array<QWidget*, 3> pages{};
    QPushButton* okButton;
    QPushButton* cancelButton;
};

} // namespace pelimo
