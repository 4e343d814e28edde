#include "history/TitleKey.h"

#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>
#include <vector>

namespace pelimo {
namespace {

bool isAsciiWithoutUpper(std::string_view text)
{
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x80 || (b >= 'A' && b <= 'Z') || b < 0x20)
            return false;
    }
    return true;
}

// Runs of blanks become one space, none at either end.
std::u16string foldBlanks(const UChar* text, int32_t length)
{
    std::u16string out;
    out.reserve(static_cast<size_t>(length));
    bool pendingBlank = false;
    for (int32_t i = 0; i < length;) {
        UChar32 c;
        const int32_t start = i;
        U16_NEXT(text, i, length, c);
        if (u_isUWhiteSpace(c)) {
            pendingBlank = !out.empty();
            continue;
        }
        if (pendingBlank)
            out += u' ';
        pendingBlank = false;
        out.append(reinterpret_cast<const char16_t*>(text + start), static_cast<size_t>(i - start));
    }
    return out;
}

std::string foldAsciiBlanks(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    bool pendingBlank = false;
    for (const char c : text) {
        if (c == ' ') {
            pendingBlank = !out.empty();
            continue;
        }
        if (pendingBlank)
            out += ' ';
        pendingBlank = false;
        out += c;
    }
    return out;
}

} // namespace

std::string titleMatchKey(std::string_view utf8)
{
    // Plain lower-case ASCII is its own normal form; only blanks remain to fold.
    if (isAsciiWithoutUpper(utf8))
        return foldAsciiBlanks(utf8);

    UErrorCode error = U_ZERO_ERROR;
    const UNormalizer2* nfkcCasefold = unorm2_getNFKCCasefoldInstance(&error);
    if (U_FAILURE(error))
        return std::string(utf8);

    int32_t sourceLength = 0;
    std::vector<UChar> source(utf8.size() + 1);
    u_strFromUTF8(source.data(), static_cast<int32_t>(source.size()), &sourceLength, utf8.data(),
                  static_cast<int32_t>(utf8.size()), &error);
    if (U_FAILURE(error))
        return std::string(utf8);

    // NFKC can grow a text (a ligature, a squared word), so the length is asked first when
    // the first guess is short.
    std::vector<UChar> normal(static_cast<size_t>(sourceLength) * 2 + 16);
    int32_t normalLength = unorm2_normalize(nfkcCasefold, source.data(), sourceLength, normal.data(),
                                            static_cast<int32_t>(normal.size()), &error);
    if (error == U_BUFFER_OVERFLOW_ERROR) {
        error = U_ZERO_ERROR;
        normal.resize(static_cast<size_t>(normalLength));
        normalLength = unorm2_normalize(nfkcCasefold, source.data(), sourceLength, normal.data(),
                                        static_cast<int32_t>(normal.size()), &error);
    }
    if (U_FAILURE(error))
        return std::string(utf8);

    const std::u16string folded = foldBlanks(normal.data(), normalLength);
    std::string out(folded.size() * 3, '\0');
    int32_t outLength = 0;
    u_strToUTF8(out.data(), static_cast<int32_t>(out.size()), &outLength,
                reinterpret_cast<const UChar*>(folded.data()), static_cast<int32_t>(folded.size()), &error);
    if (U_FAILURE(error))
        return std::string(utf8);
    out.resize(static_cast<size_t>(outLength));
    return out;
}

} // namespace pelimo
