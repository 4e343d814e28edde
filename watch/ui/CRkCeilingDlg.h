#pragma once

#include <QDialog>
#include <cstdint>
#include <optional>

class QLineEdit;

namespace pelimo {

// Asks for the price ceiling of one watched listing in yen. An empty field clears the
// ceiling; anything that is not an amount is refused with a message and the dialog stays.
class CRkCeilingDlg final : public QDialog {
    Q_OBJECT

public:
    CRkCeilingDlg(std::optional<int32_t> current, QWidget* parent);
    CRkCeilingDlg(const CRkCeilingDlg&) = delete;
    CRkCeilingDlg& operator=(const CRkCeilingDlg&) = delete;

    // The amount the dialog was accepted with; nothing for an empty field.
    std::optional<int32_t> ceiling() const { return value; }

    // The amount a text names: digits (half or full width) with optional thousands commas and
    // a trailing "円". Nothing for an empty text, any other character, or more than fits.
    static std::optional<int32_t> parseAmount(const QString& text);

    void accept() override;

private:
    QLineEdit* edit = nullptr;
    std::optional<int32_t> value;
};

} // namespace pelimo
