#pragma once

#include "history/HistoryReads.h"

namespace pelimo {

// Hands a background read's result to the window's thread: the task runs from its event loop
// like any other event. Without an application object (at exit) the task is dropped.
HistoryReads::Deliver windowThreadDelivery();

} // namespace pelimo
