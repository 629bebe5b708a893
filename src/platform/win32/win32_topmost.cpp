#include "platform/win32/win32_topmost.h"

#include <windows.h>

namespace vqd {

std::uintptr_t Win32Topmost::foreground_window() {
    return reinterpret_cast<std::uintptr_t>(GetForegroundWindow());
}

void Win32Topmost::set_topmost(std::uintptr_t window, bool topmost) {
    // SWP_NOACTIVATE as well: the attribute changes, the focus stays where it is.
    constexpr UINT kOnlyTheAttribute = SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE;
    HWND hwnd = reinterpret_cast<HWND>(window);
    SetWindowPos(hwnd, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, kOnlyTheAttribute);
    if (!topmost) return;
    // A window lifted while its modal window is open (the settings window,
    // which is the foreground window the tick has just put back down) must not
    // end up over it: the modal window goes above its owner again.
    HWND modal = GetWindow(hwnd, GW_ENABLEDPOPUP);
    if (modal && modal != hwnd && !IsWindowEnabled(hwnd))
        SetWindowPos(modal, HWND_TOPMOST, 0, 0, 0, 0, kOnlyTheAttribute);
}

}  // namespace vqd
