#include "platform/win32/win32_clock.h"

#include <windows.h>

namespace vqd {

std::int64_t Win32Clock::now_ms() const { return static_cast<std::int64_t>(GetTickCount64()); }

void Win32Clock::wait_ms(int ms) {
    if (ms <= 0) return;
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(ms);
    for (;;) {
        MSG msg;
        // PM_QS_PAINT retrieves WM_PAINT only; PeekMessage delivers sent
        // messages on its own. Everything else stays queued.
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT)) DispatchMessageW(&msg);
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return;
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), QS_PAINT | QS_SENDMESSAGE, 0);
    }
}

}  // namespace vqd
