#include "platform/DataFolderLock.h"

#include "platform/FileSystem.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string_view>
#include <sys/file.h>
#include <unistd.h>

namespace pelimo::platform {

DataFolderLock& DataFolderLock::operator=(DataFolderLock&& other) noexcept
{
    if (this != &other) {
        release();
        fd = other.fd;
        other.fd = -1;
    }
    return *this;
}

DataFolderLock::Outcome DataFolderLock::take(const std::string& folder, const std::string& fileName)
{
    release();
    if (folder.empty())
        return Outcome::unavailable;
    const std::string path = joinPath(folder, fileName);
    // Close-on-exec: a browser the program starts must not keep the folder locked after it ends.
    // Not through a link someone left under the name.
    int handle = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (handle < 0 && (errno == EACCES || errno == EROFS)) {
        // A folder we may only read can still be guarded: flock needs no write access.
        handle = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    }
    if (handle < 0)
        return Outcome::unavailable;
    int rc;
    while ((rc = ::flock(handle, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (rc != 0) {
        const int error = errno;
        ::close(handle);
        return error == EWOULDBLOCK ? Outcome::heldByAnother : Outcome::unavailable;
    }
    fd = handle;
    // Who holds the folder, for the message of a start that finds it held; nothing depends on it.
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const ssize_t n = ::pwrite(fd, pid.data(), pid.size(), 0);
    }
    return Outcome::taken;
}

void DataFolderLock::release()
{
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

pid_t DataFolderLock::holderOf(const std::string& folder, const std::string& fileName)
{
    const std::optional<std::string> text = readWholeFile(joinPath(folder, fileName), 32);
    return text ? static_cast<pid_t>(std::atol(text->c_str())) : 0;
}

} // namespace pelimo::platform
