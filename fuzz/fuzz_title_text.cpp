// Titles and exclude fields as the service or a person may give them: the fast decoding reads
// them as the converter does; the normal form is valid UTF-8 with single blanks inside only and
// is its own normal form; ASCII titles take the same form by their short way as through the
// full conversion; and a field's words are all found in the field itself.
#include "FuzzSupport.h"
#include "platform/text/NormalizedTitle.h"
#include "platform/text/SjisText.h"
#include "platform/text/SjisToUtf16.h"
#include "search/exclude/ExcludeWords.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace {

bool validUtf8(const std::string& s)
{
    std::string back;
    return pelimo::platform::convertCharset(s, "UTF-8", "UTF-16LE", back);
}

bool blanksFolded(const std::string& s)
{
    return s.empty() || (s.front() != ' ' && s.back() != ' ' && s.find("  ") == std::string::npos);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace pelimo;
    if (size > 4096)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);

    // The fast decoding reads what the converter reads.
    std::u16string utf16;
    platform::sjisToUtf16(text, utf16);
    std::string decoded;
    PELIMO_FUZZ_REQUIRE(platform::convertCharset(
        std::string_view(reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2), "UTF-16LE", "UTF-8",
        decoded));
    PELIMO_FUZZ_REQUIRE(decoded == platform::sjisToUtf8(text));

    const std::string normal = normalizedTitle(text);
    PELIMO_FUZZ_REQUIRE(validUtf8(normal));
    PELIMO_FUZZ_REQUIRE(blanksFolded(normal));

    // Where the normal form crosses to Shift-JIS and back unchanged, it normalises to itself.
    std::string sjis, again;
    if (platform::convertCharset(normal, "UTF-8", "CP932", sjis) &&
        platform::convertCharset(sjis, "CP932", "UTF-8", again) && again == normal)
        PELIMO_FUZZ_REQUIRE(normalizedTitle(sjis) == normal);

    // A leading full-width blank disappears, but sends the text through the full conversion.
    if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        PELIMO_FUZZ_REQUIRE(normalizedTitle("\x81\x40" + text) == normal);

    const ExcludeWords words(text);
    for (const std::string& word : words.words())
        PELIMO_FUZZ_REQUIRE(!word.empty() && word.find(' ') == std::string::npos);
    PELIMO_FUZZ_REQUIRE(words.excludes(text) == !words.empty());
    return 0;
}
