#include "platform/win32/win32_topmost.h"

#include <windows.h>

namespace vqd {

std::uintptr_t Win32Topmost::foreground_window() {
    return reinterpret_cast<std::uintptr_t>(GetForegroundWindow());
}

void Win32Topmost::set_topmost(std::uintptr_t window, bool topmost) {
    // SWP_NOACTIVATE as well: the attribute changes, the focus stays where it is.
    SetWindowPos(reinterpret_cast<HWND>(window), topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
}

}  // namespace vqd
