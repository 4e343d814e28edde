#pragma once

#include <cstddef>
#include <string>
#include <sys/types.h>

namespace pelimo::platform {

// A file read from its start a chunk at a time, for readers that stream what they parse
// rather than hold the whole file.
class FileReader {
public:
    FileReader() = default;
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // false when the file cannot be opened for reading.
    bool open(const std::string& path);
    // Reads up to size bytes: how many were read, 0 at the end, -1 on an error.
    ssize_t read(char* buffer, size_t size);

private:
    int fd = -1;
};

} // namespace pelimo::platform
