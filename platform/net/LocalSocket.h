#pragma once

#include "platform/net/Socket.h"

#include <optional>
#include <string_view>
#include <sys/types.h>

namespace pelimo::platform {

// Local stream sockets (AF_UNIX) named in the abstract namespace. Such a name is no file: a
// process that dies leaves nothing behind, and no folder's path length (a socket path holds
// at most 107 bytes) limits it. Every socket is non-blocking and closed on exec.

// The longest name the system takes.
inline constexpr size_t kMaxLocalSocketName = 107;

// Listens under the name; nothing when the name is taken or too long.
std::optional<Socket> listenLocal(std::string_view name);
// The next waiting connection; nothing when none waits (never blocks).
std::optional<Socket> acceptLocal(const Socket& listener);
// Connects to the name; nothing when nobody listens there (or its queue is full).
std::optional<Socket> connectLocal(std::string_view name);
// The user id of the process at the other end of a local connection.
std::optional<uid_t> peerUser(const Socket& socket);

} // namespace pelimo::platform
