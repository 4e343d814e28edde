#pragma once

#include <functional>

namespace pelimo::platform {

// The system's one message pump. Long network work runs on the user-interface thread and
// calls it between steps so the window stays alive. The program installs a handler that
// processes its pending GUI events; headless code and tests install their own hook.
using PendingEventHandler = std::function<void()>;

// Replaces the handler; an empty one makes the pump only wait.
void setPendingEventHandler(PendingEventHandler handler);

// Whether a handler is installed.
bool hasPendingEventHandler();

// Handles the events pending right now, once, without waiting.
void dispatchPendingEvents();

// Handles pending events once, then waits about 1 ms, so loops around it never spin.
void pumpMessages();

} // namespace pelimo::platform
