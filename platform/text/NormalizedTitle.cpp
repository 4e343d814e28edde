#include "platform/text/NormalizedTitle.h"

#include "platform/text/SjisToUtf16.h"

#include <algorithm>
#include <cstdint>
#include <unicode/unorm2.h>
#include <unicode/utf16.h>

namespace pelimo {
namespace {

// ICU's NFKC_Casefold: NFKC, full case folding and default-ignorables removed, in one pass,
// from the Unicode data ICU ships, so the rules stay complete as Unicode grows.
const UNormalizer2* nfkcCasefold()
{
    static const UNormalizer2* const normalizer = [] {
        UErrorCode status = U_ZERO_ERROR;
        const UNormalizer2* n = unorm2_getNFKCCasefoldInstance(&status);
        return U_SUCCESS(status) ? n : nullptr;
    }();
    return normalizer;
}

// What one thread reuses from title to title.
struct Buffers {
    std::u16string source;
    std::u16string folded;
};

Buffers& buffers()
{
    thread_local Buffers b;
    return b;
}

// Unicode's White_Space characters that can be left after NFKC, which turns the others (the
// no-break and fixed-width spaces, the ideographic space) into U+0020. Checked by hand: the
// property lookup cost more than the rest of the title's walk.
bool isBlankAfterNfkc(UChar32 c)
{
    if (c <= 0x20)
        return c == 0x20 || (c >= 0x09 && c <= 0x0d);
    return c == 0x85 || c == 0x1680 || c == 0x2028 || c == 0x2029;
}

// Writes c as UTF-8 at p, returning the end.
char* putUtf8(UChar32 c, char* p)
{
    if (c < 0x80) {
        *p++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *p++ = static_cast<char>(0xc0 | (c >> 6));
        *p++ = static_cast<char>(0x80 | (c & 0x3f));
    } else if (c < 0x10000) {
        *p++ = static_cast<char>(0xe0 | (c >> 12));
        *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3f));
        *p++ = static_cast<char>(0x80 | (c & 0x3f));
    } else {
        *p++ = static_cast<char>(0xf0 | (c >> 18));
        *p++ = static_cast<char>(0x80 | ((c >> 12) & 0x3f));
        *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3f));
        *p++ = static_cast<char>(0x80 | (c & 0x3f));
    }
    return p;
}

// The code points of folded in UTF-8 into out, each run of blanks as one ' ' and none at the
// ends.
void foldBlanksToUtf8(std::u16string_view folded, std::string& out)
{
    // A UTF-16 unit takes at most three UTF-8 bytes (a pair of them, four).
    out.resize(folded.size() * 3);
    char* const begin = out.data();
    char* p = begin;
    bool blankPending = false;
    const int32_t length = static_cast<int32_t>(folded.size());
    for (int32_t i = 0; i < length;) {
        UChar32 c;
        U16_NEXT(folded.data(), i, length, c);
        if (isBlankAfterNfkc(c)) {
            blankPending = p != begin;
            continue;
        }
        if (blankPending)
            *p++ = ' ';
        blankPending = false;
        if (U_IS_SURROGATE(c))
            c = u'?'; // a lone half of a pair has no UTF-8 form
        p = putUtf8(c, p);
    }
    out.resize(static_cast<size_t>(p - begin));
}

bool isAsciiBlank(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// NFKC leaves ASCII as it is and case folding only lowers A to Z, so most model numbers and
// brand names need no trip through UTF-16.
void normalizeAscii(std::string_view ascii, std::string& out)
{
    out.resize(ascii.size());
    char* const begin = out.data();
    char* p = begin;
    bool blankPending = false;
    for (const char c : ascii) {
        if (isAsciiBlank(c)) {
            blankPending = p != begin;
            continue;
        }
        if (blankPending)
            *p++ = ' ';
        blankPending = false;
        *p++ = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    out.resize(static_cast<size_t>(p - begin));
}

// NFKC_Casefold of in, into out; false when ICU failed (no data), which leaves out empty.
bool casefold(const std::u16string& in, std::u16string& out)
{
    const UNormalizer2* normalizer = nfkcCasefold();
    if (!normalizer)
        return false;
    // A character may grow to 18 under NFKC (U+FDFA); most titles keep their length.
    out.resize(std::max<size_t>(out.capacity(), in.size() * 2 + 16));
    for (int attempt = 0; attempt < 2; ++attempt) {
        UErrorCode status = U_ZERO_ERROR;
        const int32_t length = unorm2_normalize(normalizer, in.data(), static_cast<int32_t>(in.size()),
                                                out.data(), static_cast<int32_t>(out.size()), &status);
        if (U_SUCCESS(status)) {
            out.resize(static_cast<size_t>(length));
            return true;
        }
        if (status != U_BUFFER_OVERFLOW_ERROR)
            break;
        out.resize(static_cast<size_t>(length));
    }
    out.clear();
    return false;
}

} // namespace

void normalizeTitle(std::string_view sjis, std::string& out)
{
    out.clear();
    if (std::all_of(sjis.begin(), sjis.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        normalizeAscii(sjis, out);
        return;
    }
    Buffers& b = buffers();
    platform::sjisToUtf16(sjis, b.source);
    if (!casefold(b.source, b.folded))
        return;
    foldBlanksToUtf8(b.folded, out);
}

std::string normalizedTitle(std::string_view sjis)
{
    std::string out;
    normalizeTitle(sjis, out);
    return out;
}

} // namespace pelimo
