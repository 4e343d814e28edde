#include "watch/AramFile.h"

#include "files/XmlFileWriter.h"
#include "platform/FileSystem.h"
#include "xmlclient/ListingQueries.h"
#include "xmlclient/XmlDocumentClient.h"

namespace pelimo {
namespace {

constexpr size_t kMaxAramFileBytes = size_t{256} << 20;

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

LoadLimits aramFileLimits()
{
    // The file grows with the list and has no size of its own to keep to, unlike an answer
    // of the listing service.
    LoadLimits limits;
    limits.maxBytes = kMaxAramFileBytes;
    return limits;
}

// The listings of the loaded document, in document order.
std::vector<ItemInfo> readRecords(XmlDocumentClient& client)
{
    std::vector<ItemInfo> records;
    NodeCursor items;
    const int32_t count = client.selectNodes("//root/ItemInfo", items);
    for (int32_t i = 0; i < count; ++i) {
        ItemInfo record;
        if (readItemInfo(client, i, record, items) != 0)
            break;
        restoreEmptyFields(record);
        // An entry without an item number cannot be fetched or matched: it is no listing.
        if (!record.ItemNo.empty())
            records.push_back(std::move(record));
    }
    client.releaseCursor(items);
    client.release();
    return records;
}

} // namespace

std::string aramFilePath(const std::string& directory)
{
    return userFilePath(directory, kAramFileName);
}

bool loadWatchDocument(XmlDocumentClient& client, const std::string& path)
{
    NodeCursor rootCursor;
    const bool readable = client.load(path, true) == 0 && client.selectNodes("/root", rootCursor) == 1;
    client.releaseCursor(rootCursor);
    if (!readable)
        client.release();
    return readable;
}

AramFileLoad loadAramFile(const std::string& directory)
{
    AramFileLoad result;
    XmlDocumentClient client(aramFileLimits());
    const UserFileOpen opened = openUserFile(aramFilePath(directory), [&client](const std::string& path) {
        return loadWatchDocument(client, path);
    });
    result.outcome = opened.outcome;
    result.movedTo = opened.movedTo;
    if (opened.outcome != UserFileOutcome::loaded)
        return result;
    result.records = readRecords(client);
    return result;
}

AramFileLoad readAramFile(const std::string& directory)
{
    AramFileLoad result;
    const std::string path = aramFilePath(directory);
    const platform::FileKind kind = platform::fileKind(path);
    if (kind == platform::FileKind::missing)
        return result;
    XmlDocumentClient client(aramFileLimits());
    if (kind != platform::FileKind::regular || !loadWatchDocument(client, path)) {
        result.outcome = UserFileOutcome::unreadable;
        return result;
    }
    result.outcome = UserFileOutcome::loaded;
    result.records = readRecords(client);
    return result;
}

std::string serializeAramFile(const std::vector<ItemInfo>& records)
{
    XmlFileWriter writer("root");
    for (const ItemInfo& r : records) {
        writer.openElement("ItemInfo");
        // The file's own field order, not the record's.
        const std::pair<const char*, const std::string*> fields[] = {
            {"ItemNo", &r.ItemNo},         {"ItemName", &r.ItemName},
            {"BidNum", &r.BidNum},         {"CurrentPrice", &r.CurrentPrice},
            {"RemainTime", &r.RemainTime}, {"ImageUrl", &r.ImageUrl},
            {"ItemNum", &r.ItemNum},       {"AuctionType", &r.AuctionType},
        };
        for (const auto& [name, text] : fields)
            writer.element(name, *text);
        writer.closeElement();
    }
    return writer.finish();
}

bool saveAramFile(const std::vector<ItemInfo>& records, const std::string& directory)
{
    return saveUserFile(aramFilePath(directory), serializeAramFile(records));
}

} // namespace pelimo
