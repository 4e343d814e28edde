#include "xmlclient/Endpoints.h"

#include "platform/Environment.h"
#include "platform/text/WebAddress.h"

#include <optional>
#include <utility>

namespace pelimo {
namespace {

void readVariable(const char* name, std::string& target)
{
    if (std::optional<std::string> value = platform::environmentValue(name); value && !value->empty())
        target = std::move(*value);
}

bool isAsciiAlnum(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// A DNS name or dotted address: labels of letters, digits and inner hyphens.
bool isHostName(std::string_view host)
{
    if (host.empty() || host.size() > 253)
        return false;
    size_t labelStart = 0;
    for (size_t i = 0; i <= host.size(); ++i) {
        if (i < host.size() && host[i] != '.') {
            if (!isAsciiAlnum(host[i]) && host[i] != '-')
                return false;
            continue;
        }
        const std::string_view label = host.substr(labelStart, i - labelStart);
        if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-')
            return false;
        labelStart = i + 1;
    }
    return true;
}

bool isBracketedIpv6(std::string_view host)
{
    if (host.size() < 4 || host.front() != '[' || host.back() != ']')
        return false;
    for (const char c : host.substr(1, host.size() - 2)) {
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex && c != ':' && c != '.')
            return false;
    }
    return true;
}

bool isPort(std::string_view port)
{
    if (port.empty() || port.size() > 5)
        return false;
    long value = 0;
    for (const char c : port) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return value >= 1 && value <= 65535;
}

std::string_view trimBlanks(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

} // namespace

Endpoints endpointsFromEnvironment()
{
    return resolveEndpoints({}, {});
}

Endpoints resolveEndpoints(std::string_view listingSetting, std::string_view itemPageSetting)
{
    Endpoints endpoints;
    const auto stored = [](std::string_view setting, std::string& target) {
        const std::optional<std::string> address = normalizeServiceAddress(setting);
        if (address && !address->empty())
            target = *address;
    };
    stored(listingSetting, endpoints.listingBase);
    stored(itemPageSetting, endpoints.itemPageBase);
    readVariable("PELIMO_LISTING_BASE", endpoints.listingBase);
    readVariable("PELIMO_ITEMPAGE_BASE", endpoints.itemPageBase);
    return endpoints;
}

std::optional<std::string> normalizeServiceAddress(std::string_view text)
{
    text = trimBlanks(text);
    if (text.empty())
        return std::string();
    if (text.back() == '/')
        text.remove_suffix(1);
    const size_t schemeEnd = webSchemeLength(text);
    if (schemeEnd == 0)
        return std::nullopt;
    const std::string_view rest = text.substr(schemeEnd);

    std::string_view host = rest;
    std::string_view port;
    const size_t bracket = rest.rfind(']');
    const size_t colon = rest.rfind(':');
    if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket)) {
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        if (!isPort(port))
            return std::nullopt;
    }
    if (!isHostName(host) && !isBracketedIpv6(host))
        return std::nullopt;
    return std::string(text);
}

} // namespace pelimo
