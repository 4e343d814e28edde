#include "mail/MimeTextPart.h"

namespace pelimo {

std::optional<MimeTextPart> MimeTextPart::fromText(std::string_view text, uint32_t codePage,
                                                   const TextConversionService* service)
{
    MimeTextPart part;
    if (service != nullptr) {
        auto converted = service->convertFromSystem(text, codePage);
        if (!converted)
            return std::nullopt;
        part.bytes = std::move(*converted);
    } else {
        part.bytes.assign(text);
    }
    auto name = charsetNameFor(service, codePage);
    if (!name)
        return std::nullopt;
    part.charset = std::move(*name);
    return part;
}

std::string MimeTextPart::header() const
{
    return "MIME-Version: 1.0\r\nContent-Type: text/plain;\r\n\tcharset=\"" + charset +
           "\"\r\nContent-Transfer-Encoding: 8bit\r\n\r\n";
}

} // namespace pelimo
