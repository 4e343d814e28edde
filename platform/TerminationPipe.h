#pragma once

namespace pelimo::platform {

// SIGTERM and SIGINT caught from the first moment of the run: the handler only writes a byte to
// a pipe, which the event loop reads once it runs. A logout or Ctrl+C during start-up therefore
// waits until the window exists and then ends the run through the orderly shutdown, instead of
// killing a process that may have read files it has not written back yet.
//
// Installs the handler once per process; later calls return what the first did.
bool catchTerminationSignals();
// The pipe's end to read, -1 when the handler could not be installed.
int terminationSignalDescriptor();
// Whether a signal has come that nobody has taken from the pipe yet (the byte stays there).
bool terminationSignalPending();
// Takes every pending byte from the pipe.
void drainTerminationSignals();
// Back to the default actions: the next signal ends the process at once.
void releaseTerminationSignals();

} // namespace pelimo::platform
