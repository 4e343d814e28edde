#include "mail/TextConversionService.h"

#include "platform/text/SjisText.h"

#include <array>

namespace pelimo {
namespace {

struct CodePageName {
    uint32_t codePage;
    const char* mimeName;
    const char* converterName;
};

// The code pages mails are written in: the system's own and Latin-1.
constexpr std::array kCodePages{
    CodePageName{kSystemCodePage, "shift_jis", "CP932"},
    CodePageName{28591, "iso-8859-1", "ISO-8859-1"},
};

const CodePageName* findCodePage(uint32_t codePage)
{
    if (codePage == 0)
        codePage = kSystemCodePage;
    for (const auto& entry : kCodePages) {
        if (entry.codePage == codePage)
            return &entry;
    }
    return nullptr;
}

class PlatformConversionService final : public TextConversionService {
public:
    std::optional<std::string> charsetName(uint32_t codePage) const override
    {
        const CodePageName* entry = findCodePage(codePage);
        if (entry == nullptr)
            return std::nullopt;
        return std::string(entry->mimeName);
    }

    std::optional<std::string> convertFromSystem(std::string_view text, uint32_t codePage) const override
    {
        const CodePageName* entry = findCodePage(codePage);
        if (entry == nullptr)
            return std::nullopt;
        // Text already in the system code page goes out byte for byte.
        if (entry->codePage == kSystemCodePage)
            return std::string(text);
        std::string out;
        if (!platform::convertCharset(text, "CP932", entry->converterName, out))
            return std::nullopt;
        return out;
    }
};

} // namespace

std::unique_ptr<TextConversionService> createTextConversionService()
{
    if (!platform::canConvertCharset("CP932", "UTF-8"))
        return nullptr;
    return std::make_unique<PlatformConversionService>();
}

} // namespace pelimo

namespace pelimo {

std::optional<std::string> charsetNameFor(const TextConversionService* service, uint32_t codePage)
{
    if (service != nullptr)
        return service->charsetName(codePage);
    if (codePage == 0 || codePage == 28591)
        return std::string("iso-8859-1");
    return std::nullopt;
}

} // namespace pelimo
