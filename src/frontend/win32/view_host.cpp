#include "frontend/win32/view_host.h"

#include "frontend/win32/scheduler_driver.h"
#include "frontend/win32/window_view.h"

#include <algorithm>

namespace vqd::win32ui {

namespace {
constexpr wchar_t kRetirerClassName[] = L"VQD_RETIRER";
constexpr UINT kRelease = WM_APP + 1;
constexpr UINT_PTR kReleaseLaterTimer = 1;
}  // namespace

Retirer::Retirer(Scheduler& scheduler) : scheduler_(scheduler) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Retirer::procedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kRetirerClassName;
    RegisterClassExW(&wc);  // fails harmlessly when already registered
    hwnd_ = CreateWindowExW(0, kRetirerClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    if (hwnd_) SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Retirer::~Retirer() {
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
    release_all();
}

void Retirer::retire(std::shared_ptr<void> thing) {
    held_.push_back(std::move(thing));
    if (hwnd_) PostMessageW(hwnd_, kRelease, 0, 0);
}

void Retirer::release_all() {
    // Releasing may retire more into this one: take the list first.
    while (!held_.empty()) {
        auto going = std::move(held_);
        held_.clear();
        going.clear();
    }
}

LRESULT CALLBACK Retirer::procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* self = reinterpret_cast<Retirer*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && message == kRelease) {
        if (self->scheduler_.busy()) {
            SetTimer(window, kReleaseLaterTimer, 100, nullptr);
            return 0;
        }
        self->release_all();
        return 0;
    }
    if (self && message == WM_TIMER && wparam == kReleaseLaterTimer) {
        KillTimer(window, kReleaseLaterTimer);
        PostMessageW(window, kRelease, 0, 0);
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

ViewHost::ViewHost(SchedulerDriver& driver, FontCache& fonts)
    : driver_(driver), fonts_(fonts), retired_(driver.scheduler()) {}

ViewHost::~ViewHost() {
    views_.clear();
    retired_.release_all();
}

WindowView* ViewHost::view_of(const Window& model) const {
    for (const auto& v : views_)
        if (&v->model() == &model && IsWindow(v->hwnd())) return v.get();
    return nullptr;
}

void ViewHost::open(Window& model) {
    if (model.closed()) return;
    if (WindowView* view = view_of(model)) {
        SetForegroundWindow(view->hwnd());
        return;
    }
    auto view = std::make_unique<WindowView>(model, nullptr, driver_, fonts_);
    WindowView* raw = view.get();
    view->on_closed = [this, raw] {
        auto it = std::find_if(views_.begin(), views_.end(), [raw](const auto& v) { return v.get() == raw; });
        if (it == views_.end()) return;
        std::unique_ptr<WindowView> closed = std::move(*it);
        views_.erase(it);
        retired_.retire(std::move(closed));
    };
    views_.push_back(std::move(view));
    raw->show();
}

}  // namespace vqd::win32ui
