#include "platform/text/TextFill.h"

namespace pelimo {

std::string fillText(std::string_view format, const std::vector<TextArgument>& args)
{
    std::string out;
    size_t next = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c != '%' || i + 1 == format.size()) {
            out += c;
            continue;
        }
        const char spec = format[++i];
        if (spec == '%') {
            out += '%';
            continue;
        }
        if (spec != 's' && spec != 'd') {
            out += '%';
            out += spec;
            continue;
        }
        if (next < args.size()) {
            const TextArgument& a = args[next];
            if (const auto* s = std::get_if<std::string_view>(&a))
                out += *s;
            else
                out += std::to_string(std::get<long long>(a));
        }
        ++next;
    }
    return out;
}

} // namespace pelimo
