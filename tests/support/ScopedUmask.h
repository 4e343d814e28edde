#pragma once

#include <sys/stat.h>
#include <sys/types.h>

namespace pelimo::test {

// The process's umask set for the life of the object, as a user's shell would have set it.
class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : previous(::umask(mask)) {}
    ~ScopedUmask() { ::umask(previous); }
    ScopedUmask(const ScopedUmask&) = delete;
    ScopedUmask& operator=(const ScopedUmask&) = delete;

private:
    mode_t previous;
};

} // namespace pelimo::test
