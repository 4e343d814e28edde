#include "search/saved/SavedSearchReader.h"

#include "platform/FileReader.h"
#include "platform/text/NumberText.h"
#include "platform/text/SjisText.h"
#include "search/saved/SavedSearchFields.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlreader.h>
#include <memory>
#include <optional>
#include <string_view>

namespace pelimo {
namespace {

constexpr size_t kChunkBytes = 64 * 1024;

void ignoreError(void*, xmlErrorPtr) {}

std::string lowerCase(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// Whether the XML declaration at the very start of the bytes names Shift-JIS. Our own files
// and the Windows program's say Shift_JIS but use the Windows code page (CP932), whose
// backslash, tilde and vendor characters plain Shift-JIS reads differently.
bool declaresShiftJis(std::string_view bytes)
{
    if (!bytes.starts_with("<?xml"))
        return false;
    const std::string_view declaration = bytes.substr(0, bytes.find("?>"));
    const size_t key = declaration.find("encoding");
    const size_t quote =
        declaration.find_first_of("'\"", key == std::string_view::npos ? declaration.size() : key);
    if (quote == std::string_view::npos)
        return false;
    const size_t close = declaration.find(declaration[quote], quote + 1);
    if (close == std::string_view::npos)
        return false;
    const std::string name = lowerCase(declaration.substr(quote + 1, close - quote - 1));
    static constexpr std::string_view kNames[] = {"shift_jis", "shift-jis",  "sjis",        "x-sjis",
                                                  "ms_kanji",  "csshiftjis", "windows-31j", "cp932"};
    return std::find(std::begin(kNames), std::end(kNames), name) != std::end(kNames);
}

// Where a run of Shift-JIS bytes can be cut without parting a double-byte character: a lead
// byte at the very end waits for its trail byte in the next chunk.
size_t wholeCharacters(std::string_view sjis)
{
    size_t at = 0;
    while (at < sjis.size()) {
        const size_t width = platform::isSjisLeadByte(static_cast<unsigned char>(sjis[at])) ? 2 : 1;
        if (at + width > sjis.size())
            break;
        at += width;
    }
    return at;
}

// The file, a chunk at a time, as the reader asks for it; a Shift-JIS file crosses as UTF-8,
// converted chunk by chunk exactly as a conversion of the whole would give it.
class FileStream {
public:
    bool open(const std::string& path, size_t limit)
    {
        maxBytes = limit;
        if (!file.open(path) || !readRaw())
            return false;
        sjis = declaresShiftJis(raw);
        take();
        return true;
    }
    bool convertsFromSjis() const { return sjis; }
    bool failed() const { return broken; }

    // libxml2's input callback: up to len bytes, 0 at the end, -1 on an error.
    int read(char* buffer, int len)
    {
        while (given == ready.size() && !atEnd) {
            if (!readRaw())
                return -1;
            take();
        }
        const size_t n = std::min(static_cast<size_t>(len), ready.size() - given);
        std::memcpy(buffer, ready.data() + given, n);
        given += n;
        return static_cast<int>(n);
    }

private:
    bool readRaw()
    {
        raw.resize(kChunkBytes);
        const ssize_t n = file.read(raw.data(), raw.size());
        total += n > 0 ? static_cast<size_t>(n) : 0;
        if (n < 0 || total > maxBytes) {
            broken = true;
            return false;
        }
        raw.resize(static_cast<size_t>(n));
        atEnd = n == 0;
        return true;
    }

    // The raw chunk becomes the bytes handed out next.
    void take()
    {
        given = 0;
        if (!sjis) {
            ready.swap(raw);
            return;
        }
        carry += raw;
        const size_t cut = atEnd ? carry.size() : wholeCharacters(carry);
        ready = platform::sjisToUtf8(std::string_view(carry).substr(0, cut));
        carry.erase(0, cut);
    }

    platform::FileReader file;
    size_t maxBytes = 0;
    size_t total = 0;
    bool sjis = false;
    bool atEnd = false;
    bool broken = false;
    std::string raw;
    std::string carry; // a lead byte waiting for its trail byte
    std::string ready;
    size_t given = 0;
};

int readCallback(void* context, char* buffer, int len)
{
    return static_cast<FileStream*>(context)->read(buffer, len);
}

int closeCallback(void*)
{
    return 0;
}

bool declaresEntities(const xmlDoc* doc)
{
    const xmlDtd* subset = doc ? doc->intSubset : nullptr;
    return subset &&
           ((subset->entities && xmlHashSize(static_cast<xmlHashTablePtr>(subset->entities)) > 0) ||
            (subset->pentities && xmlHashSize(static_cast<xmlHashTablePtr>(subset->pentities)) > 0));
}

std::string_view view(const xmlChar* text)
{
    return text ? std::string_view(reinterpret_cast<const char*>(text)) : std::string_view();
}

// The records as the reader meets the elements: a SavedSearch child of the root is one search;
// its first field of each name and its first Seen count, each field's text being all the text
// inside it, as the watch list's files are read.
class SearchCollector {
public:
    SearchCollector(SeenSet::Time now, std::vector<SavedSearch>& out) : now(now), out(out) {}

    // False when the document is not one to read.
    bool element(xmlTextReader* reader)
    {
        const int depth = xmlTextReaderDepth(reader);
        const std::string_view name = view(xmlTextReaderConstName(reader));
        const bool empty = xmlTextReaderIsEmptyElement(reader) == 1;
        if (capturing())
            return true; // an element inside a field: its text is the field's
        if (depth == 0) {
            // By the root's start tag the whole prolog is read: entities would be declared by now.
            const xmlNode* node = xmlTextReaderCurrentNode(reader);
            sawRoot = name == kRootElement && !(node && declaresEntities(node->doc));
            return sawRoot;
        }
        if (depth == 1 && name == kSavedSearchElement) {
            current = SavedSearch{};
            fieldsTaken = 0;
            seenTaken = inSeen = false;
            inSearch = true;
            if (empty)
                endSearch();
        } else if (depth == 2 && inSearch) {
            if (const std::optional<SavedSearchField> field = savedSearchFieldNamed(name)) {
                const unsigned bit = 1u << static_cast<unsigned>(*field);
                if ((fieldsTaken & bit) == 0) {
                    fieldsTaken |= bit;
                    beginCapture(*field, depth, empty);
                }
            } else if (name == kSeenElement && !seenTaken) {
                seenTaken = true;
                current.firstRunPending = false;
                inSeen = !empty;
            }
        } else if (depth == 3 && inSeen && name == kItemNoElement) {
            xmlChar* when =
                xmlTextReaderGetAttribute(reader, reinterpret_cast<const xmlChar*>(kLastSeenAttribute));
            lastSeen = view(when);
            xmlFree(when);
            beginCapture(std::nullopt, depth, empty);
        }
        return true;
    }

    void text(xmlTextReader* reader)
    {
        if (capturing())
            captured += view(xmlTextReaderConstValue(reader));
    }

    void endElement(xmlTextReader* reader)
    {
        const int depth = xmlTextReaderDepth(reader);
        if (capturing()) {
            if (depth == captureDepth)
                endCapture();
            return;
        }
        if (depth == 2 && inSeen)
            inSeen = false;
        else if (depth == 1 && inSearch)
            endSearch();
    }

    bool sawRootElement() const { return sawRoot; }

private:
    bool capturing() const { return captureDepth >= 0; }

    // field empty: an ItemNo.
    void beginCapture(std::optional<SavedSearchField> field, int depth, bool empty)
    {
        capturedField = field;
        captureDepth = depth;
        captured.clear();
        if (empty)
            endCapture();
    }

    void endCapture()
    {
        captureDepth = -1;
        const std::string text = platform::utf8ToSjis(captured);
        if (capturedField) {
            setSavedSearchField(current.request, *capturedField, text);
            return;
        }
        const std::string itemNo = itemNumberKey(text);
        if (itemNo.empty())
            return;
        // A time ahead of the clock (written while it was wrong) would keep the listing for ever.
        const SeenSet::Time when = parseSeenTime(lastSeen).value_or(now);
        current.seen.markSeen(itemNo, std::min(when, now));
    }

    void endSearch()
    {
        inSearch = false;
        out.push_back(std::move(current));
    }

    const SeenSet::Time now;
    std::vector<SavedSearch>& out;
    bool sawRoot = false;
    bool inSearch = false;
    bool inSeen = false;
    bool seenTaken = false;
    unsigned fieldsTaken = 0;
    SavedSearch current;
    int captureDepth = -1;
    std::optional<SavedSearchField> capturedField;
    std::string captured; // UTF-8
    std::string lastSeen;
};

} // namespace

bool readSavedSearches(const std::string& path, size_t maxBytes, SeenSet::Time now,
                       std::vector<SavedSearch>& out)
{
    out.clear();
    FileStream file;
    if (!file.open(path, maxBytes))
        return false;
    xmlInitParser();
    int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    if (file.convertsFromSjis())
        options |= XML_PARSE_IGNORE_ENC;
    const std::unique_ptr<xmlTextReader, decltype(&xmlFreeTextReader)> reader(
        xmlReaderForIO(readCallback, closeCallback, &file, nullptr,
                       file.convertsFromSjis() ? "UTF-8" : nullptr, options),
        &xmlFreeTextReader);
    if (!reader)
        return false;
    xmlTextReaderSetStructuredErrorHandler(reader.get(), &ignoreError, nullptr);

    SearchCollector collector(now, out);
    int rc;
    while ((rc = xmlTextReaderRead(reader.get())) == 1) {
        bool fine = true;
        switch (xmlTextReaderNodeType(reader.get())) {
        case XML_READER_TYPE_ELEMENT:
            fine = collector.element(reader.get());
            break;
        case XML_READER_TYPE_TEXT:
        case XML_READER_TYPE_CDATA:
        case XML_READER_TYPE_WHITESPACE:
        case XML_READER_TYPE_SIGNIFICANT_WHITESPACE:
            collector.text(reader.get());
            break;
        case XML_READER_TYPE_END_ELEMENT:
            collector.endElement(reader.get());
            break;
        case XML_READER_TYPE_ENTITY_REFERENCE:
            fine = false; // only a document that declares entities has them
            break;
        default:
            break;
        }
        if (!fine) {
            rc = -1;
            break;
        }
    }
    if (rc != 0 || file.failed() || !collector.sawRootElement()) {
        out.clear();
        return false;
    }
    return true;
}

} // namespace pelimo
