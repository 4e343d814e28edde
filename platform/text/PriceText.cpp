#include "platform/text/PriceText.h"

#include "PlatformTexts.h"
#include "platform/text/TypedCharacters.h"

#include <limits>
#include <vector>

namespace pelimo {
namespace {

// Digits, with commas only between groups of three after a first group of one to three.
std::optional<int32_t> groupedAmount(const std::vector<TypedCharacter>& chars, size_t begin, size_t end)
{
    int64_t value = 0;
    size_t groupDigits = 0;
    bool grouped = false;
    for (size_t i = begin; i < end; ++i) {
        const char c = chars[i].ascii;
        if (c == ',') {
            if (groupDigits == 0 || (grouped ? groupDigits != 3 : groupDigits > 3))
                return std::nullopt;
            grouped = true;
            groupDigits = 0;
            continue;
        }
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > std::numeric_limits<int32_t>::max())
            return std::nullopt;
        ++groupDigits;
    }
    if (groupDigits == 0 || (grouped && groupDigits != 3))
        return std::nullopt;
    return static_cast<int32_t>(value);
}

// More digits than this are no price or count of this service, and still fit 64 bits.
constexpr int kMaxDigits = 15;

// Reads a Shift-JIS text character by character from the front; it always stands on a
// character boundary, so a trail byte is never taken for a character of its own.
class SjisCursor {
public:
    explicit SjisCursor(std::string_view text) : rest(text) {}

    bool atEnd() const { return rest.empty(); }
    bool take(std::string_view character)
    {
        if (!rest.starts_with(character))
            return false;
        rest.remove_prefix(character.size());
        return true;
    }
    // Consumes one digit, half or full width (0x824F .. 0x8258), and gives its value.
    std::optional<int> takeDigit()
    {
        if (rest.empty())
            return std::nullopt;
        const auto c = static_cast<unsigned char>(rest[0]);
        if (c >= '0' && c <= '9') {
            rest.remove_prefix(1);
            return c - '0';
        }
        if (c == 0x82 && rest.size() >= 2) {
            const auto trail = static_cast<unsigned char>(rest[1]);
            if (trail >= 0x4f && trail <= 0x58) {
                rest.remove_prefix(2);
                return trail - 0x4f;
            }
        }
        return std::nullopt;
    }
    bool takeSeparator() { return take(",") || take(platform_text::kWideComma); }
    void skipBlanks()
    {
        while (take(" ") || take("\t") || take(platform_text::kWideBlank)) {
        }
    }

private:
    std::string_view rest;
};

// Digits with single separators between them; nothing when there are none or too many, or
// a separator does not stand between two digits.
std::optional<int64_t> takeNumber(SjisCursor& cursor)
{
    int64_t value = 0;
    int digits = 0;
    for (;;) {
        const std::optional<int> digit = cursor.takeDigit();
        if (!digit)
            return digits > 0 ? std::optional<int64_t>(value) : std::nullopt;
        if (++digits > kMaxDigits)
            return std::nullopt;
        value = value * 10 + *digit;
        if (cursor.takeSeparator()) {
            // The separator stands between digits only: the loop must find one next.
            const std::optional<int> next = cursor.takeDigit();
            if (!next || ++digits > kMaxDigits)
                return std::nullopt;
            value = value * 10 + *next;
        }
    }
}

} // namespace

PriceText parsePriceText(std::string_view sjis)
{
    const std::vector<TypedCharacter> chars = typedCharacters(sjis);
    size_t begin = 0;
    size_t end = chars.size();
    const auto trimBlanks = [&] {
        while (begin < end && isTypedBlank(chars[begin]))
            ++begin;
        while (end > begin && isTypedBlank(chars[end - 1]))
            --end;
    };
    trimBlanks();
    if (begin == end)
        return {PriceText::Kind::noBound};
    if (chars[end - 1].bytes == platform_text::kYen) {
        --end;
        trimBlanks(); // "3,000 円"
    }
    const std::optional<int32_t> amount = groupedAmount(chars, begin, end);
    if (!amount)
        return {PriceText::Kind::refused};
    return {PriceText::Kind::amount, *amount};
}

std::optional<int64_t> parsePriceYen(std::string_view sjis)
{
    SjisCursor cursor(sjis);
    cursor.skipBlanks();
    // "\" is the yen sign of Shift-JIS's single-byte half.
    if (cursor.take("\\") || cursor.take(platform_text::kWideYenSign))
        cursor.skipBlanks();
    const std::optional<int64_t> value = takeNumber(cursor);
    if (!value)
        return std::nullopt;
    cursor.skipBlanks();
    if (cursor.take(platform_text::kYen))
        cursor.skipBlanks();
    return cursor.atEnd() ? value : std::nullopt;
}

std::optional<int64_t> parseCount(std::string_view sjis)
{
    SjisCursor cursor(sjis);
    cursor.skipBlanks();
    const std::optional<int64_t> value = takeNumber(cursor);
    cursor.skipBlanks();
    return value && cursor.atEnd() ? value : std::nullopt;
}

} // namespace pelimo
