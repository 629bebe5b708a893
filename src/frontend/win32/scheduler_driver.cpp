#include "frontend/win32/scheduler_driver.h"

namespace vqd::win32ui {

namespace {
constexpr UINT_PTR kTimerId = 1;
constexpr wchar_t kClassName[] = L"VQD_SCHEDULER_DRIVER";
}  // namespace

SchedulerDriver::SchedulerDriver(Scheduler& scheduler) : scheduler_(scheduler) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = procedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);  // fails harmlessly when a second driver registers again
    window_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    scheduler_.set_wakeup([this] { arm(); });
    arm();
}

SchedulerDriver::~SchedulerDriver() {
    scheduler_.set_wakeup(nullptr);
    if (window_) {
        KillTimer(window_, kTimerId);
        DestroyWindow(window_);
    }
}

void SchedulerDriver::drive() {
    if (!scheduler_.busy()) scheduler_.run_due();
    arm();
}

void SchedulerDriver::arm() {
    if (!window_) return;
    const auto due = scheduler_.next_due();
    if (!due) {
        KillTimer(window_, kTimerId);
        return;
    }
    const auto delay = *due - scheduler_.now();
    // SetTimer raises anything shorter to its minimum (10 ms); a tick that comes
    // a little early finds nothing due and arms again.
    const UINT ms = delay <= 0 ? USER_TIMER_MINIMUM : static_cast<UINT>(delay < 0x7FFFFFFF ? delay : 0x7FFFFFFF);
    SetTimer(window_, kTimerId, ms, nullptr);
}

LRESULT CALLBACK SchedulerDriver::procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_TIMER && wparam == kTimerId) {
        if (auto* self = reinterpret_cast<SchedulerDriver*>(GetWindowLongPtrW(window, GWLP_USERDATA))) self->drive();
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace vqd::win32ui
