#pragma once

#include <string>
#include <sys/types.h>

namespace pelimo::platform {

// The claim of one running copy of the program on a data folder: an exclusive flock on a file
// of its own in the folder. The system drops the lock with the last descriptor of the process,
// however the process ends (a crash, kill -9), so a folder is never left locked; the file stays
// behind, empty but for the holder's process id, and is taken over by the next start.
class DataFolderLock {
public:
    enum class Outcome {
        taken,         // this object holds the folder now
        heldByAnother, // another process holds it
        unavailable,   // no lock to be had here (no such folder, no permission, a file system without locks)
    };

    DataFolderLock() = default;
    ~DataFolderLock() { release(); }
    DataFolderLock(DataFolderLock&& other) noexcept : fd(other.fd) { other.fd = -1; }
    DataFolderLock& operator=(DataFolderLock&& other) noexcept;
    DataFolderLock(const DataFolderLock&) = delete;
    DataFolderLock& operator=(const DataFolderLock&) = delete;

    // Tries once, without waiting, to lock the file `fileName` in the folder (made if missing,
    // read and write for its owner only, less what the umask takes).
    Outcome take(const std::string& folder, const std::string& fileName);
    void release();
    bool held() const { return fd >= 0; }

    // The process id the holder wrote in the lock file, 0 when it cannot be read.
    static pid_t holderOf(const std::string& folder, const std::string& fileName);

private:
    int fd = -1;
};

} // namespace pelimo::platform
