#pragma once

namespace pelimo::platform {

// Makes the system's message pump handle the Qt events pending on the GUI thread, and makes
// Qt's event loop the one that network waits run and register their sockets with.
void installQtEventPump();

} // namespace pelimo::platform
