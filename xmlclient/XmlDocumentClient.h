#pragma once

#include "xmlclient/NodeCursor.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct _xmlDoc;

namespace pelimo {

// Bounds of one load, so a service that stops answering or answers without end can never
// hold a list, the watch update or the program's exit.
struct LoadLimits {
    static constexpr std::chrono::milliseconds kDefaultTimeout{30000};
    static constexpr size_t kDefaultMaxBytes = 8u << 20;

    std::chrono::milliseconds timeout = kDefaultTimeout;
    size_t maxBytes = kDefaultMaxBytes;
};

// The only path to XML documents: answers of the listing service loaded from an http
// address while the window stays alive, and the watch list file. Texts crossing it on the
// system's side are Shift-JIS. Each user owns one client; a client is not shared.
class XmlDocumentClient {
public:
    explicit XmlDocumentClient(LoadLimits limits = {});
    ~XmlDocumentClient();
    XmlDocumentClient(const XmlDocumentClient&) = delete;
    XmlDocumentClient& operator=(const XmlDocumentClient&) = delete;

    // Loads an http(s) address or a file path. Asynchronous loads wait pumping pending
    // events. 0 loaded (also for an answer that is not XML: it selects nothing);
    // 1 the wait ended because abortLoad was called; -1 refused, failed or timed out.
    int32_t load(const std::string& urlOrPath, bool async);
    void abortLoad();
    void release();
    bool isLoading() const { return loading; }

    int32_t selectNodes(const std::string& path, NodeCursor& cursor);
    int32_t nodeAt(int32_t index, NodeCursor& cursor);
    int32_t childElements(const std::string& name, const NodeCursor& parent, NodeCursor& cursor);
    int32_t nodeText(const NodeCursor& cursor, std::string& out);
    int32_t childText(const std::string& name, const NodeCursor& parent, std::string& out);
    // The value of the cursor node's attribute; 1 (and out empty) when it has none.
    int32_t attributeText(const std::string& name, const NodeCursor& cursor, std::string& out);
    void releaseCursor(NodeCursor& cursor);

    int32_t createDocument(const std::string& rootName);
    int32_t addElement(const std::string& name, const std::string& text, NodeCursor& parent,
                       NodeCursor* out = nullptr);
    int32_t appendNewline(NodeCursor& cursor);
    int32_t setAttribute(const std::string& name, const std::string& value, NodeCursor& cursor);
    // Saves in Shift_JIS, atomically. 0 saved; -1 no document or the write failed.
    int32_t save(const std::string& path);

    // The serialised document as save would write it (for tests and the watch file).
    bool serialize(std::string& out) const;

private:
    class HttpTransfer;

    int32_t loadUrl(const std::string& url, bool async);
    int32_t loadFile(const std::string& path);
    void adopt(const std::string& bytes);

    LoadLimits limits;
    _xmlDoc* document = nullptr;
    std::unique_ptr<HttpTransfer> http; // kept between loads so the connection is reused
    int32_t abortRequested = 0;
    bool loading = false;
};

} // namespace pelimo
