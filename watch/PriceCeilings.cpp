#include "watch/PriceCeilings.h"

#include "files/XmlFileWriter.h"
#include "platform/text/PriceText.h"
#include "watch/AramFile.h"
#include "xmlclient/ItemInfo.h"
#include "xmlclient/XmlDocumentClient.h"

#include <unordered_set>

namespace pelimo {

std::optional<int32_t> parseCeilingPrice(std::string_view text)
{
    return parsePriceText(text).bound();
}

std::string priceCeilingsPath(const std::string& directory)
{
    return userFilePath(directory, kPriceCeilingsFileName);
}

PriceCeilingsLoad loadPriceCeilings(const std::string& directory)
{
    PriceCeilingsLoad result;
    XmlDocumentClient client;
    const UserFileOpen opened =
        openUserFile(priceCeilingsPath(directory),
                     [&client](const std::string& path) { return loadWatchDocument(client, path); });
    result.outcome = opened.outcome;
    result.movedTo = opened.movedTo;
    if (opened.outcome != UserFileOutcome::loaded)
        return result;

    std::unordered_set<std::string> seen;
    NodeCursor rules;
    const int32_t count = client.selectNodes("//root/Rule", rules);
    for (int32_t i = 0; i < count; ++i) {
        if (client.nodeAt(i, rules) != 0)
            break;
        std::string itemNo, ceiling;
        client.childText("ItemNo", rules, itemNo);
        client.childText("CeilingPrice", rules, ceiling);
        itemNo = itemNumberOf(itemNo);
        const std::optional<int32_t> price = parseCeilingPrice(ceiling);
        if (itemNo.empty() || !price || !seen.insert(itemNo).second)
            continue;
        result.rules.push_back(PriceRule{itemNo, *price});
    }
    client.releaseCursor(rules);
    client.release();
    return result;
}

std::string serializePriceCeilings(const std::vector<PriceRule>& rules)
{
    XmlFileWriter writer("root");
    for (const PriceRule& r : rules) {
        writer.openElement("Rule");
        writer.element("ItemNo", r.itemNo);
        writer.element("CeilingPrice", std::to_string(r.ceilingPrice));
        writer.closeElement();
    }
    return writer.finish();
}

bool savePriceCeilings(const std::vector<PriceRule>& rules, const std::string& directory)
{
    return saveUserFile(priceCeilingsPath(directory), serializePriceCeilings(rules));
}

} // namespace pelimo
