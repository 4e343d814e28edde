#pragma once

#include <QString>
#include <string>

namespace pelimo::platform {

// Starts the desktop's registered web browser on an address, as one argument of its own, never
// through a shell. Starts nothing when no browser is registered or the address is empty.
// Asking the desktop which browser it has takes a helper process that can be slow, so the
// question runs beside the event loop and the address opens when the answer comes; a
// registered browser is remembered, a "none" is asked again at the next request.
// Returns false when nothing can be started (an empty address, a launcher that is not there);
// true when a process was started or waits for the desktop's answer.
bool openInDefaultBrowser(const std::string& address);

// Whether the desktop is still being asked for its browser.
bool isBrowserLookupRunning();

// Replaces the launcher program (normally xdg-open; the environment variable
// PELIMO_BROWSER_COMMAND overrides it too). An overridden launcher counts as registered when it
// can be executed. An empty program restores the default. Forgets the remembered browser.
void setBrowserProgram(const QString& program);

} // namespace pelimo::platform
