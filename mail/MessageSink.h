#pragma once

#include <string_view>

namespace pelimo {

// Where a message writes its text: the SMTP connection's write-all.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    // Writes every byte or reports failure.
    virtual bool writeAll(std::string_view bytes) = 0;
};

} // namespace pelimo
