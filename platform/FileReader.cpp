#include "platform/FileReader.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace pelimo::platform {

FileReader::~FileReader()
{
    if (fd >= 0)
        ::close(fd);
}

bool FileReader::open(const std::string& path)
{
    if (fd >= 0)
        ::close(fd);
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    return fd >= 0;
}

ssize_t FileReader::read(char* buffer, size_t size)
{
    if (fd < 0)
        return -1;
    ssize_t n;
    while ((n = ::read(fd, buffer, size)) < 0 && errno == EINTR) {
    }
    return n;
}

} // namespace pelimo::platform
