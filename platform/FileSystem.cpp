#include "platform/FileSystem.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace pelimo::platform {
namespace {

// Six letters or digits that make a temporary name unlikely to be taken.
std::string randomSuffix()
{
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static std::atomic<uint64_t> counter{0};
    uint64_t bits = 0;
    if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bits)) {
        bits = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
               (static_cast<uint64_t>(::getpid()) << 32) ^ counter.fetch_add(1);
    }
    std::string suffix;
    for (int i = 0; i < 6; ++i, bits /= sizeof kAlphabet - 1)
        suffix += kAlphabet[bits % (sizeof kAlphabet - 1)];
    return suffix;
}

// A new file beside path, opened for writing with the mode given (less the umask, as the
// system creates any file); -1 when none could be made.
int createTempBeside(const std::string& path, mode_t mode, std::string& temp)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = path + "." + randomSuffix();
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// Gives the temporary file that replaces a file the mode, owner and group of the one it
// replaces, as far as the system allows.
bool takeOverAccess(int fd, const struct stat& existing, FileAccess access)
{
    mode_t mode = existing.st_mode & 07777;
    struct stat made {};
    if (::fstat(fd, &made) != 0)
        return false;
    // Only root may give a file away (root rewriting a user's file must not take it); anyone
    // else's rewrite of a file they may write is theirs, as with any editor.
    if (made.st_uid != existing.st_uid && ::geteuid() == 0 &&
        ::fchown(fd, existing.st_uid, static_cast<gid_t>(-1)) != 0)
        return false;
    // The group's bits are for the file's group; in another one they would let others read.
    if (made.st_gid != existing.st_gid && ::fchown(fd, static_cast<uid_t>(-1), existing.st_gid) != 0)
        mode &= ~mode_t{070};
    if (access == FileAccess::ownerOnly)
        mode &= ~mode_t{077};
    // After the change of owner, which clears the set-id bits.
    return ::fchmod(fd, mode) == 0;
}

std::string folderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

std::string currentDirectory()
{
    std::vector<char> buffer(PATH_MAX);
    if (!::getcwd(buffer.data(), buffer.size()))
        return {};
    return buffer.data();
}

FileKind fileKind(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return errno == ENOENT ? FileKind::missing : FileKind::inaccessible;
    return S_ISREG(st.st_mode) ? FileKind::regular : FileKind::other;
}

std::string joinPath(std::string_view dir, std::string_view name)
{
    std::string path(dir);
    path += '/';
    path += name;
    return path;
}

bool writeFileAtomically(const std::string& path, std::string_view bytes, mode_t newFileMode,
                         FileAccess access)
{
    struct stat existing {};
    const bool exists = ::stat(path.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode))
        return false;
    // Respect a file the user made read-only (also for root, whom access() lets through):
    // the rename would otherwise replace it.
    if (exists && ((existing.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0))
        return false;

    // A replacement is private until it has the old file's mode; a new file is made with its
    // own, so the system applies the umask (and a folder's default ACL) as it does for any file.
    if (access == FileAccess::ownerOnly)
        newFileMode &= ~mode_t{077};
    std::string temp;
    const int fd = createTempBeside(path, exists ? 0600 : newFileMode & 07777, temp);
    if (fd < 0)
        return false;
    bool ok =
        (!exists || takeOverAccess(fd, existing, access)) && writeAllToFile(fd, bytes) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(temp.c_str(), path.c_str()) == 0) {
        // Make the rename itself durable.
        const int dirFd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY);
        if (dirFd >= 0) {
            ::fsync(dirFd);
            ::close(dirFd);
        }
        return true;
    }
    ::unlink(temp.c_str());
    return false;
}

bool writeAllToFile(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool renameFile(const std::string& from, const std::string& to)
{
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool removeFile(const std::string& path)
{
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

std::optional<std::string> readWholeFile(const std::string& path, size_t maxBytes)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    std::string content;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 || content.size() + static_cast<size_t>(n) > maxBytes) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        content.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return content;
}

} // namespace pelimo::platform
