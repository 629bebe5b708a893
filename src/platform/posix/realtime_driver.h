// Driving the scheduler on real time without a toolkit: sleep until the next
// thing is due, run what is due, repeat. Handlers that wait block inside
// run_due() on the clock's own wait, as they would in the program.
#pragma once

#include "model/scheduler.h"

#include <functional>

namespace vqd {

// Runs until `stop` returns true; `stop` is asked between events and at least
// every `slice_ms` while nothing is due, never while a handler runs.
void run_realtime(Scheduler& scheduler, Clock& clock, const std::function<bool()>& stop, int slice_ms = 20);

}  // namespace vqd
