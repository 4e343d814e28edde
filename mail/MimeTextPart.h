#pragma once

#include "mail/TextConversionService.h"

#include <optional>
#include <string>
#include <string_view>

namespace pelimo {

// One plain-text body part: the text in its target code page and that code page's charset.
class MimeTextPart {
public:
    // Converts system text into the code page; without a service the text is kept as it is.
    // Nothing when the conversion or the charset lookup fails.
    static std::optional<MimeTextPart> fromText(std::string_view text, uint32_t codePage,
                                                const TextConversionService* service);

    const std::string& data() const { return bytes; }
    const std::string& charsetName() const { return charset; }

    // The part's header lines up to and including the empty line before the data.
    std::string header() const;

private:
    std::string bytes;
    std::string charset = "iso-8859-1";
};

} // namespace pelimo
