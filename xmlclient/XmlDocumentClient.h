#pragma once

#include "xmlclient/NodeCursor.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

struct _xmlDoc;

namespace pelimo {

// Bounds of one load, so a service that stops answering or answers without end can never
// hold a list, the watch update or the program's exit. Both times count from what the
// service sent, whatever else the program did meanwhile.
struct LoadLimits {
    static constexpr std::chrono::milliseconds kDefaultTimeout{30000};
    static constexpr size_t kDefaultMaxBytes = 8u << 20;
    static constexpr std::chrono::milliseconds kDefaultWholeAnswer{120000};

    // Longest silence of the service: no connection, or no byte of the answer, for so long.
    std::chrono::milliseconds timeout = kDefaultTimeout;
    size_t maxBytes = kDefaultMaxBytes;
    // Longest time for the whole answer, however steadily it trickles in.
    std::chrono::milliseconds wholeAnswer = kDefaultWholeAnswer;
};

class WebTransfer;

// What the server said of a web load besides its body: the HTTP status (0 when no answer came)
// and its Retry-After field as sent (nothing when it had none); without an answer, whether the
// server kept silent too long rather than being out of reach.
struct AnswerStatus {
    long httpStatus = 0;
    std::optional<std::string> retryAfter;
    bool timedOut = false;
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

    // Loads an http(s) address or a file path. Asynchronous loads wait in the event loop,
    // handling events. 0 loaded (also for an answer that is not XML: it selects nothing);
    // 1 the wait ended because abortLoad was called; -1 refused, failed or timed out.
    int32_t load(const std::string& urlOrPath, bool async);
    // Starts loading an http(s) address and returns at once: 0 started, and done runs later
    // from the event loop with what load would return; -1 not started (busy, not a web
    // address), and done never runs. Destroying the client drops a pending done.
    int32_t startLoad(const std::string& url, std::function<void(int32_t result)> done);
    // Ends a pending wait with 1; a started load ends too, its done running with 1 before
    // abortLoad returns, so the next load may start at once.
    void abortLoad();
    void release();
    bool isLoading() const { return loading; }
    // Of the last web load, from its end until the next load starts.
    const AnswerStatus& lastAnswer() const { return answer; }

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
    int32_t loadUrl(const std::string& url, bool async);
    int32_t loadFile(const std::string& path);
    bool beginTransfer(const std::string& url, std::function<void(int32_t result)> done);
    void adopt(const std::string& bytes);

    LoadLimits limits;
    _xmlDoc* document = nullptr;
    std::unique_ptr<WebTransfer> http; // kept between loads
    AnswerStatus answer;
    int32_t abortRequested = 0;
    bool loading = false;
};

} // namespace pelimo
