#pragma once

#include "app/SearchCommand.h"
#include "settings/EnvSettings.h"

#include <QWidget>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QPushButton;

namespace pelimo {

class CRkFormView;

// What the command bar remembers of its last search: one '0' or '1' per type box in id
// order, the lot-number box and the price boxes' texts (UTF-8).
struct CommandBarOptions {
    std::string typeFlags;
    bool lotNumber = false;
    std::string priceLow;
    std::string priceHigh;
};

// The command bar across the top of the window: keyword, auction types and price range, the
// search button, the results / alert pane switch and the settings button. Its controls keep
// the positions of its dialog-unit layout.
class CRkCmdDialog final : public QWidget {
    Q_OBJECT
public:
    // Template size in dialog units.
    static constexpr int kWidthUnits = 414;
    static constexpr int kHeightUnits = 66;

    // formView receives the searches, the pane switches and the list redraws; settings is what
    // the settings dialog edits.
    CRkCmdDialog(EnvSettings& settings, CRkFormView* formView, QWidget* parent);
    CRkCmdDialog(const CRkCmdDialog&) = delete;
    CRkCmdDialog& operator=(const CRkCmdDialog&) = delete;

    // The controls' state now.
    CommandBarInput input() const;
    int32_t paneMode() const;
    // Gives the keyboard focus back to the control that had it when the last search started
    // (the keyword box at first).
    void takeFocus();
    // Ctrl+F: the caret in the keyword field, its text selected.
    void focusKeyword();
    // The options the bar keeps from one run to the next (not the keyword), and setting them
    // again; type flags that do not fit the boxes leave them as they are.
    CommandBarOptions options() const;
    void applyOptions(const std::string& typeFlags, bool lotNumber, const std::string& priceLowUtf8,
                      const std::string& priceHighUtf8);

    // The button "search": back to the results pane first, then the search.
    void onSearchButton();
    // The Enter key: the search, the pane mode stays.
    void onEnter();
    void onPaneModeClicked();
    void onSettingsButton();

    // Pixels of a dialog-unit rectangle in a font, and in the bar's font.
    static QRect fromDialogUnits(const QFont& font, int x, int y, int w, int h);
    QRect fromDialogUnits(int x, int y, int w, int h) const;

    QLineEdit* keywordBox() const { return keyword; }
    QCheckBox* lotNumberBox() const { return lotNumber; }
    QCheckBox* typeBox(TypeBox box) const { return types[static_cast<size_t>(box)]; }
    QLineEdit* priceLowBox() const { return priceLow; }
    QLineEdit* priceHighBox() const { return priceHigh; }
    QLineEdit* excludeBox() const { return exclude; }
    QPushButton* searchButton() const { return search; }
    QPushButton* resultsButton() const { return results; }
    QPushButton* alertButton() const { return alert; }
    QPushButton* archiveButton() const { return archive; }
    QPushButton* settingsButton() const { return settingsOpener; }

Q_SIGNALS:
    // The settings dialog has closed, with either button; the lists have been redrawn.
    void settingsDialogClosed();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    template <typename T> T* place(T* control, int x, int y, int w, int h);
    void startSearch();
    // Tells which price box is not an amount and puts the caret there; false when both are.
    bool refusePrice(const CommandBarInput& in);
    void runSettingsDialog();

    EnvSettings& settings;
    CRkFormView* formView;
    QLineEdit* keyword = nullptr;
    QCheckBox* lotNumber = nullptr;
    std::array<QCheckBox*, kTypeBoxCount> types{};
    QLineEdit* priceLow = nullptr;
    QLineEdit* priceHigh = nullptr;
    QLineEdit* exclude = nullptr;
    QPushButton* search = nullptr;
    QPushButton* results = nullptr;
    QPushButton* alert = nullptr;
    QPushButton* archive = nullptr;
    QPushButton* settingsOpener = nullptr;
    QButtonGroup* modeGroup = nullptr;
    QWidget* focusBeforeSearch = nullptr;
    // The controls in the order Tab visits them.
    std::vector<QWidget*> tabOrder;
};

} // namespace pelimo
