#pragma once

#include "settings/EnvSettings.h"

#include <QWidget>
#include <array>

class QTextEdit;

namespace pelimo {

class CRkColorButton;

// Page "search results": the text and background colours of the result rows of each auction
// type, each row previewed in its own colours.
class CRkEnvItemDialog final : public QWidget {
    Q_OBJECT

public:
    CRkEnvItemDialog(const EnvSettings& settings, QWidget* parent = nullptr);

    // The colours live in the copies from the moment they are picked; nothing can fail.
    bool readControls() { return true; }
    void copyTo(EnvSettings& settings) const;

private:
    void recolourPreview(size_t row);

    std::array<TypeColours, kTypeColourCount> colours;
    std::array<QTextEdit*, kTypeColourCount> previews{};
    std::array<CRkColorButton*, kTypeColourCount> backButtons{};
    std::array<CRkColorButton*, kTypeColourCount> textButtons{};
};

} // namespace pelimo
