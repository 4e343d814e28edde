#include "history/CsvWriter.h"

#include <charconv>

namespace pelimo {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool startsFormula(std::string_view text)
{
    if (text.size() < 2) // a lone "-" (no remaining time) is no formula
        return false;
    switch (text[0]) {
    case '=':
    case '+':
    case '-':
    case '@':
    case '\t':
    case '\r':
        return true;
    default:
        return false;
    }
}

} // namespace

CsvWriter::CsvWriter() : out(kByteOrderMark) {}

void CsvWriter::separate()
{
    if (rowStarted)
        out += ',';
    rowStarted = true;
}

void CsvWriter::text(std::string_view utf8)
{
    separate();
    const bool formula = startsFormula(utf8);
    if (utf8.find_first_of("\",\r\n") == std::string_view::npos) {
        if (formula)
            out += '\'';
        out += utf8;
        return;
    }
    out += '"';
    if (formula)
        out += '\'';
    for (const char c : utf8) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

void CsvWriter::number(std::optional<int64_t> value)
{
    separate();
    if (!value)
        return;
    char digits[24];
    const auto [end, error] = std::to_chars(digits, digits + sizeof digits, *value);
    if (error == std::errc{})
        out.append(digits, end);
}

void CsvWriter::endRow()
{
    out += "\r\n";
    rowStarted = false;
}

void CsvWriter::row(const std::vector<std::string_view>& fields)
{
    for (const std::string_view field : fields)
        text(field);
    endRow();
}

} // namespace pelimo
