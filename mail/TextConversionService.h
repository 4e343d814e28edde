#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace pelimo {

// Code page 0 stands for the system code page; the system's text is CP932.
inline constexpr uint32_t kSystemCodePage = 932;

// Re-encodes the system's text into a mail's code page and names that code page's MIME
// charset. A message may be given none; it then falls back to unconverted text.
class TextConversionService {
public:
    virtual ~TextConversionService() = default;

    // The MIME charset name of a code page (0 = the system code page); nothing when unknown.
    virtual std::optional<std::string> charsetName(uint32_t codePage) const = 0;

    // System text converted into the code page; nothing when the code page is unknown or the
    // text holds a character the code page cannot represent.
    virtual std::optional<std::string> convertFromSystem(std::string_view text, uint32_t codePage) const = 0;
};

// The service over the platform's charset conversion, or none when the system cannot
// convert its own code page.
std::unique_ptr<TextConversionService> createTextConversionService();

} // namespace pelimo

namespace pelimo {

// The charset name of a code page through the service, or without one the Latin-1 name that
// unconverted text is labelled with (code page 0 or 28591); nothing for any other code page.
std::optional<std::string> charsetNameFor(const TextConversionService* service, uint32_t codePage);

} // namespace pelimo
