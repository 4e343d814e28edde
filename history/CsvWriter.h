#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelimo {

// A CSV text as RFC 4180 writes it, in UTF-8 with a byte-order mark (spreadsheet programs in
// a Japanese locale otherwise read it as Shift-JIS): fields separated by commas, every record
// ended by CR LF, a field quoted when it holds a quote, comma, CR or LF, its quotes doubled.
// A text field that a spreadsheet would run as a formula (=, +, -, @, a tab or CR first) is
// written with an apostrophe in front, which spreadsheets take as "this is text".
class CsvWriter {
public:
    CsvWriter();

    void text(std::string_view utf8);
    // A number as digits; nothing is an empty field.
    void number(std::optional<int64_t> value);
    void endRow();
    // A whole row of text fields.
    void row(const std::vector<std::string_view>& fields);

    const std::string& bytes() const { return out; }
    std::string take() { return std::move(out); }
    void reserve(size_t size) { out.reserve(size); }

private:
    void separate();

    std::string out;
    bool rowStarted = false;
};

} // namespace pelimo
