#pragma once

#include <QString>
#include <string>

namespace pelimo::platform {

// Starts the desktop's registered web browser on an address, as one argument of its own, never
// through a shell. Starts nothing when no browser is registered or the address is empty.
// Returns whether a process was started.
bool openInDefaultBrowser(const std::string& address);

// Replaces the launcher program (normally xdg-open; the environment variable
// PELIMO_BROWSER_COMMAND overrides it too). An overridden launcher counts as registered when it
// can be executed. An empty program restores the default. Forgets the cached registration check.
void setBrowserProgram(const QString& program);

} // namespace pelimo::platform
