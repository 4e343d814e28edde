#pragma once

#include <string_view>
#include <vector>

namespace pelimo {

// One character of a field a person typed, as the rules that read numbers and times see it.
struct TypedCharacter {
    std::string_view bytes; // the character's one or two Shift-JIS bytes
    // The ASCII character it stands for: itself when it is ASCII; for the full-width forms an
    // input method gives for digits, comma, colon and blank, their ASCII form; 0 for any other.
    char ascii = 0;
};

// The characters of a Shift-JIS text, read from its start (a trail byte may look like a lead
// byte, so such a text cannot be read from its end). A lead byte at the very end stands alone.
std::vector<TypedCharacter> typedCharacters(std::string_view sjis);

// Whether the character is a blank of either width (tab and line ends included).
inline bool isTypedBlank(const TypedCharacter& c)
{
    return c.ascii == ' ' || (c.ascii >= '\t' && c.ascii <= '\r');
}

} // namespace pelimo
