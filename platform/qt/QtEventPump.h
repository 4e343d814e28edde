#pragma once

namespace pelimo::platform {

// Makes the system's message pump handle the Qt events pending on the GUI thread.
void installQtEventPump();

} // namespace pelimo::platform
