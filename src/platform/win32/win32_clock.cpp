#include "platform/win32/win32_clock.h"

namespace vqd {

std::int64_t Win32Clock::now_ms() const { return static_cast<std::int64_t>(GetTickCount64()); }

void Win32Clock::wait_ms(int ms) {
    if (ms <= 0) return;
    pump(GetTickCount64() + static_cast<ULONGLONG>(ms), nullptr);
}

void Win32Clock::wait_for(HANDLE object) {
    if (object) pump(0, object);
}

void Win32Clock::pump(ULONGLONG end, HANDLE object) {
    // A quit request met during the wait is put back when the wait ends: the
    // program's own loop must see it, and seen again at once it would keep
    // this loop spinning.
    bool quit = false;
    WPARAM quit_code = 0;
    for (;;) {
        MSG msg;
        while (!quit && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = true;
                quit_code = msg.wParam;
                break;
            }
            if (dispatcher_) {
                dispatcher_(msg);
            } else {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        DWORD timeout = INFINITE;
        if (object) {
            if (WaitForSingleObject(object, 0) != WAIT_TIMEOUT) break;
        } else {
            const ULONGLONG now = GetTickCount64();
            if (now >= end) break;
            timeout = static_cast<DWORD>(end - now);
        }
        // With a quit pending only sent messages and paint are served.
        const DWORD wake = quit ? QS_PAINT | QS_SENDMESSAGE
                                : QS_INPUT | QS_POSTMESSAGE | QS_PAINT | QS_SENDMESSAGE | QS_HOTKEY;
        MsgWaitForMultipleObjectsEx(object ? 1 : 0, object ? &object : nullptr, timeout, wake, MWMO_INPUTAVAILABLE);
        if (quit) {
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT)) DispatchMessageW(&msg);
        }
    }
    if (quit) PostQuitMessage(static_cast<int>(quit_code));
}

}  // namespace vqd
