// The real-time driver of the scheduler on the Win32 message loop.
//
// A message-only window owns one SetTimer timer, armed for the scheduler's next
// due time; its WM_TIMER runs what is due and arms it again. WM_TIMER keeps
// arriving inside the system's own modal loops (a window being dragged), so
// the program's timers go on ticking there too. The scheduler's wait-up
// callback re-arms the timer whenever something is scheduled earlier.
#pragma once

#include "model/scheduler.h"

#include <windows.h>

namespace vqd::win32ui {

class SchedulerDriver {
public:
    explicit SchedulerDriver(Scheduler& scheduler);
    ~SchedulerDriver();
    SchedulerDriver(const SchedulerDriver&) = delete;
    SchedulerDriver& operator=(const SchedulerDriver&) = delete;

    Scheduler& scheduler() const { return scheduler_; }
    // Run everything due now (nothing while a handler runs), then arm the timer.
    void drive();

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    void arm();

    Scheduler& scheduler_;
    HWND window_ = nullptr;
};

}  // namespace vqd::win32ui
