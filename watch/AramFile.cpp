#include "watch/AramFile.h"

#include "platform/FileSystem.h"
#include "xmlclient/ListingQueries.h"
#include "xmlclient/XmlDocumentClient.h"

#include <cstdio>
#include <ctime>

namespace pelimo {
namespace {

constexpr size_t kMaxAramFileBytes = size_t{256} << 20;

bool fileExists(const std::string& path)
{
    const platform::FileKind kind = platform::fileKind(path);
    return kind == platform::FileKind::regular || kind == platform::FileKind::other;
}

// A name beside the file that no other file has: "<path>.unreadable-YYYYMMDD-HHMMSS", with
// a counter when several failures fall in one second.
std::string asideName(const std::string& path)
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string base = path + ".unreadable-" + stamp;
    std::string candidate = base;
    for (int n = 2; fileExists(candidate); ++n)
        candidate = base + "-" + std::to_string(n);
    return candidate;
}

// The writer can only give an empty field the line break of a container element, so an
// empty text comes back as that single line break; it is read as the empty text it was.
void restoreEmptyFields(ItemInfo& r)
{
    for (std::string* field : {&r.ItemNo, &r.ItemName, &r.CurrentPrice, &r.AuctionType, &r.ImageUrl,
                               &r.BidNum, &r.ItemNum, &r.RemainTime}) {
        if (*field == "\n")
            field->clear();
    }
}

} // namespace

std::string aramFilePath(const std::string& directory)
{
    const std::string folder = directory.empty() ? platform::currentDirectory() : directory;
    // Without a folder the name would land in the filesystem's root.
    return folder.empty() ? std::string() : platform::joinPath(folder, kAramFileName);
}

AramFileLoad loadAramFile(const std::string& directory)
{
    AramFileLoad result;
    const std::string path = aramFilePath(directory);
    if (path.empty()) {
        // No working folder to read: an empty list that is never saved over anything.
        result.outcome = AramFileLoad::Outcome::unreadable;
        return result;
    }
    switch (platform::fileKind(path)) {
    case platform::FileKind::missing:
    case platform::FileKind::inaccessible:
        return result;
    case platform::FileKind::other:
        // Something else holds the name; it is neither read nor moved nor replaced.
        result.outcome = AramFileLoad::Outcome::unreadable;
        return result;
    case platform::FileKind::regular:
        break;
    }

    // The file grows with the list and has no size of its own to keep to, unlike an answer
    // of the listing service.
    LoadLimits limits;
    limits.maxBytes = kMaxAramFileBytes;
    XmlDocumentClient client(limits);
    NodeCursor rootCursor;
    const bool readable = client.load(path, true) == 0 && client.selectNodes("/root", rootCursor) == 1;
    client.releaseCursor(rootCursor);
    if (!readable) {
        client.release();
        const std::string aside = asideName(path);
        if (std::rename(path.c_str(), aside.c_str()) == 0) {
            result.outcome = AramFileLoad::Outcome::movedAside;
            result.movedTo = aside;
        } else {
            result.outcome = AramFileLoad::Outcome::unreadable;
        }
        return result;
    }

    result.outcome = AramFileLoad::Outcome::loaded;
    NodeCursor items;
    const int32_t count = client.selectNodes("//root/ItemInfo", items);
    for (int32_t i = 0; i < count; ++i) {
        ItemInfo record;
        readItemInfo(client, i, record, items);
        restoreEmptyFields(record);
        result.records.push_back(std::move(record));
    }
    client.releaseCursor(items);
    client.release();
    return result;
}

bool serializeAramFile(const std::vector<ItemInfo>& records, std::string& out)
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
    for (const ItemInfo& r : records) {
        NodeCursor item;
        if (client.addElement("ItemInfo", "", root, &item) != 0) {
            ok = false;
            break;
        }
        // The file's own field order, not the record's.
        const std::pair<const char*, const std::string*> fields[] = {
            {"ItemNo", &r.ItemNo},         {"ItemName", &r.ItemName},
            {"BidNum", &r.BidNum},         {"CurrentPrice", &r.CurrentPrice},
            {"RemainTime", &r.RemainTime}, {"ImageUrl", &r.ImageUrl},
            {"ItemNum", &r.ItemNum},       {"AuctionType", &r.AuctionType},
        };
        for (const auto& [name, text] : fields)
            ok = client.addElement(name, *text, item) == 0 && ok;
        client.releaseCursor(item);
        if (!ok)
            break;
    }
    client.releaseCursor(root);
    ok = ok && client.serialize(out);
    client.release();
    return ok;
}

bool saveAramFile(const std::vector<ItemInfo>& records, const std::string& directory)
{
    const std::string path = aramFilePath(directory);
    std::string bytes;
    if (path.empty() || !serializeAramFile(records, bytes))
        return false;
    return platform::writeFileAtomically(path, bytes);
}

} // namespace pelimo
