#include "files/XmlFileWriter.h"

#include "platform/text/SjisText.h"
#include "xmlclient/XmlWriter.h"

namespace pelimo {

XmlFileWriter::XmlFileWriter(std::string_view rootName)
    : bytes("<?xml version='1.0' encoding='Shift_JIS'?>\n"), open{std::string(rootName)}
{
    bytes += '<';
    bytes += rootName;
    bytes += ">\n";
}

void XmlFileWriter::appendText(std::string_view sjis, bool attribute)
{
    appendEscapedXml(utf8, platform::sjisToUtf8(sjis), attribute);
}

void XmlFileWriter::openElement(std::string_view name)
{
    utf8 += '<';
    utf8 += name;
    utf8 += ">\n";
    open.emplace_back(name);
}

void XmlFileWriter::closeElement()
{
    if (open.size() < 2)
        return;
    utf8 += "</";
    utf8 += open.back();
    utf8 += ">\n";
    open.pop_back();
    flushAtTop();
}

void XmlFileWriter::element(std::string_view name, std::string_view sjisText)
{
    utf8 += '<';
    utf8 += name;
    utf8 += '>';
    endElement(name, sjisText);
}

void XmlFileWriter::element(std::string_view name, std::string_view sjisText, std::string_view attribute,
                            std::string_view sjisValue)
{
    utf8 += '<';
    utf8 += name;
    utf8 += ' ';
    utf8 += attribute;
    utf8 += "=\"";
    appendText(sjisValue, true);
    utf8 += "\">";
    endElement(name, sjisText);
}

void XmlFileWriter::endElement(std::string_view name, std::string_view sjisText)
{
    // An element without text holds the line break a container starts with.
    if (sjisText.empty())
        utf8 += '\n';
    else
        appendText(sjisText, false);
    utf8 += "</";
    utf8 += name;
    utf8 += ">\n";
    flushAtTop();
}

void XmlFileWriter::flushAtTop()
{
    if (open.size() > 1)
        return;
    bytes += platform::utf8ToSjis(utf8);
    utf8.clear();
}

std::string XmlFileWriter::finish()
{
    while (open.size() > 1)
        closeElement();
    bytes += "</";
    bytes += open.front();
    bytes += ">\n";
    return std::move(bytes);
}

} // namespace pelimo
