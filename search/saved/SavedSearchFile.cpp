#include "search/saved/SavedSearchFile.h"

#include "platform/FileSystem.h"
#include "platform/text/NumberText.h"
#include "watch/WatchFile.h"
#include "xmlclient/XmlDocumentClient.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace pelimo {
namespace {

using namespace std::chrono;

// 20 searches of a few thousand listings each take a few megabytes.
constexpr size_t kMaxFileBytes = size_t{64} << 20;
constexpr const char* kLastSeenAttribute = "lastSeen";

// UTC, to the second: "2026-12-08T09:20:31Z".
std::string timeText(SeenSet::Time t)
{
    const sys_days day = floor<days>(t);
    const year_month_day ymd{day};
    const hh_mm_ss hms{t - day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                  static_cast<int>(hms.hours().count()), static_cast<int>(hms.minutes().count()),
                  static_cast<int>(hms.seconds().count()));
    return text;
}

std::optional<SeenSet::Time> parseTime(const std::string& text)
{
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char zone = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &zone) != 7 ||
        zone != 'Z')
        return std::nullopt;
    const year_month_day ymd{year{y}, month{static_cast<unsigned>(mo)}, day{static_cast<unsigned>(d)}};
    if (!ymd.ok() || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59)
        return std::nullopt;
    return sys_days{ymd} + hours{h} + minutes{mi} + seconds{s};
}

std::string trimmed(const std::string& text)
{
    const char* blanks = " \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The writer gives an empty field the line break of a container element; it is read as the
// empty text it was.
std::string fieldText(XmlDocumentClient& client, const char* name, const NodeCursor& parent)
{
    std::string text;
    client.childText(name, parent, text);
    return text == "\n" ? std::string() : text;
}

SavedSearch readSearch(XmlDocumentClient& client, const NodeCursor& node, SeenSet::Time now)
{
    SavedSearch saved;
    SearchRequest& r = saved.request;
    r.text = fieldText(client, "Keyword", node);
    r.lotNumberMode = leadingInteger(fieldText(client, "LotNumberMode", node));
    r.auctionTypes = trimmed(fieldText(client, "AuctionTypes", node));
    r.priceLow = leadingInteger(fieldText(client, "PriceLow", node));
    r.priceHigh = leadingInteger(fieldText(client, "PriceHigh", node));

    NodeCursor seen;
    if (client.childElements("Seen", node, seen) > 0 && client.nodeAt(0, seen) == 0) {
        saved.firstRunPending = false;
        NodeCursor items;
        const int32_t count = client.childElements("ItemNo", seen, items);
        saved.seen.reserve(static_cast<size_t>(std::max(count, 0)));
        std::string text;
        for (int32_t i = 0; i < count; ++i) {
            client.nodeAt(i, items);
            client.nodeText(items, text);
            const std::string itemNo = trimmed(text);
            if (itemNo.empty())
                continue;
            client.attributeText(kLastSeenAttribute, items, text);
            // A time ahead of the clock (written while it was wrong) would keep the listing for ever.
            saved.seen.markSeen(itemNo, std::min(parseTime(text).value_or(now), now));
        }
        client.releaseCursor(items);
    }
    client.releaseCursor(seen);
    return saved;
}

bool addSearch(XmlDocumentClient& client, const SavedSearch& s, NodeCursor& root)
{
    NodeCursor node;
    if (client.addElement("SavedSearch", "", root, &node) != 0)
        return false;
    const SearchRequest& r = s.request;
    bool ok = client.addElement("Keyword", r.text, node) == 0 &&
              client.addElement("LotNumberMode", std::to_string(r.lotNumberMode), node) == 0 &&
              client.addElement("AuctionTypes", r.auctionTypes, node) == 0 &&
              client.addElement("PriceLow", std::to_string(r.priceLow), node) == 0 &&
              client.addElement("PriceHigh", std::to_string(r.priceHigh), node) == 0;
    // No Seen element is what marks a search whose first run is still to come.
    if (ok && !s.firstRunPending) {
        NodeCursor seen;
        ok = client.addElement("Seen", "", node, &seen) == 0;
        NodeCursor item;
        for (const auto& [itemNo, when] : s.seen.ordered()) {
            if (!ok)
                break;
            ok = client.addElement("ItemNo", itemNo, seen, &item) == 0 &&
                 client.setAttribute(kLastSeenAttribute, timeText(when), item) == 0;
        }
        client.releaseCursor(item);
        client.releaseCursor(seen);
    }
    client.releaseCursor(node);
    return ok;
}

} // namespace

std::string savedSearchFilePath(const std::string& directory)
{
    return watchFilePath(directory, kSavedSearchFileName);
}

SavedSearchFileLoad loadSavedSearchFile(const std::string& directory, SeenSet::Time now)
{
    SavedSearchFileLoad result;
    LoadLimits limits;
    limits.maxBytes = kMaxFileBytes;
    XmlDocumentClient client(limits);
    // Read, moved aside or left alone by the same rules as the watch list's files.
    const WatchFileOpen opened = openWatchFile(client, savedSearchFilePath(directory));
    switch (opened.outcome) {
    case WatchFileOutcome::missing:
        return result;
    case WatchFileOutcome::unreadable:
        result.outcome = SavedSearchFileLoad::Outcome::unreadable;
        return result;
    case WatchFileOutcome::movedAside:
        result.outcome = SavedSearchFileLoad::Outcome::movedAside;
        result.movedTo = opened.movedTo;
        return result;
    case WatchFileOutcome::loaded:
        break;
    }

    result.outcome = SavedSearchFileLoad::Outcome::loaded;
    NodeCursor searches;
    const int32_t count = client.selectNodes("/root/SavedSearch", searches);
    for (int32_t i = 0; i < count; ++i) {
        client.nodeAt(i, searches);
        result.searches.push_back(readSearch(client, searches, now));
    }
    client.releaseCursor(searches);
    client.release();
    return result;
}

bool serializeSavedSearchFile(const std::vector<SavedSearch>& searches, std::string& out)
{
    XmlDocumentClient client;
    NodeCursor root;
    if (client.createDocument("root") != 0 || client.selectNodes("/root", root) < 1 ||
        client.nodeAt(0, root) != 0)
        return false;
    bool ok = true;
    for (const SavedSearch& s : searches) {
        if (!(ok = addSearch(client, s, root)))
            break;
    }
    client.releaseCursor(root);
    ok = ok && client.serialize(out);
    client.release();
    return ok;
}

SavedSearchFileSave saveSavedSearchFile(const std::vector<SavedSearch>& searches,
                                        const std::string& directory)
{
    const std::string path = savedSearchFilePath(directory);
    if (path.empty() || platform::fileKind(path) == platform::FileKind::other)
        return SavedSearchFileSave::refused;
    std::string bytes;
    if (!serializeSavedSearchFile(searches, bytes) || !platform::writeFileAtomically(path, bytes))
        return SavedSearchFileSave::failed;
    return SavedSearchFileSave::saved;
}

} // namespace pelimo
