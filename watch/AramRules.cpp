#include "watch/AramRules.h"

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

std::string aramRulesPath(const std::string& directory)
{
    return userFilePath(directory, kAramRulesFileName);
}

AramRulesLoad loadAramRules(const std::string& directory)
{
    AramRulesLoad result;
    XmlDocumentClient client;
    const UserFileOpen opened = openUserFile(aramRulesPath(directory), [&client](const std::string& path) {
        return loadWatchDocument(client, path);
    });
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

bool serializeAramRules(const std::vector<PriceRule>& rules, std::string& out)
{
    XmlDocumentClient client;
    if (client.createDocument("root") != 0)
        return false;
    NodeCursor root;
    if (client.selectNodes("//root", root) < 1 || client.nodeAt(0, root) != 0) {
        client.release();
        return false;
    }
    bool ok = true;
    for (const PriceRule& r : rules) {
        NodeCursor rule;
        ok = client.addElement("Rule", "", root, &rule) == 0 &&
             client.addElement("ItemNo", r.itemNo, rule) == 0 &&
             client.addElement("CeilingPrice", std::to_string(r.ceilingPrice), rule) == 0;
        client.releaseCursor(rule);
        if (!ok)
            break;
    }
    client.releaseCursor(root);
    ok = ok && client.serialize(out);
    client.release();
    return ok;
}

bool saveAramRules(const std::vector<PriceRule>& rules, const std::string& directory)
{
    const std::string path = aramRulesPath(directory);
    std::string bytes;
    if (path.empty() || !serializeAramRules(rules, bytes))
        return false;
    return saveUserFile(path, bytes);
}

} // namespace pelimo
