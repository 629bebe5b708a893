#include "frontend/win32/dpi.h"

namespace vqd::win32ui {

namespace {

template <typename Fn>
Fn lookup(const wchar_t* module, const char* name) {
    HMODULE m = GetModuleHandleW(module);
    if (!m) m = LoadLibraryW(module);
    return m ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m, name))) : nullptr;
}

UINT system_dpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

}  // namespace

void declare_per_monitor_dpi_awareness() {
    using SetContext = BOOL(WINAPI*)(HANDLE);
    using SetAwareness = HRESULT(WINAPI*)(int);
    const auto per_monitor_v2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));
    if (auto set = lookup<SetContext>(L"user32.dll", "SetProcessDpiAwarenessContext"))
        if (set(per_monitor_v2)) return;
    if (auto set = lookup<SetAwareness>(L"shcore.dll", "SetProcessDpiAwareness"))
        if (SUCCEEDED(set(2 /* PROCESS_PER_MONITOR_DPI_AWARE */))) return;
    SetProcessDPIAware();
}

UINT dpi_of_window(HWND window) {
    using GetForWindow = UINT(WINAPI*)(HWND);
    static const auto get = lookup<GetForWindow>(L"user32.dll", "GetDpiForWindow");
    if (get && window) {
        const UINT dpi = get(window);
        if (dpi) return dpi;
    }
    return system_dpi();
}

UINT dpi_at_point(POINT screen_point) {
    using GetForMonitor = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    static const auto get = lookup<GetForMonitor>(L"shcore.dll", "GetDpiForMonitor");
    if (get) {
        UINT x = 0, y = 0;
        if (SUCCEEDED(get(MonitorFromPoint(screen_point, MONITOR_DEFAULTTONEAREST), 0 /* MDT_EFFECTIVE_DPI */, &x, &y)) &&
            x)
            return x;
    }
    return system_dpi();
}

RECT frame_for(DWORD style, DWORD ex_style, UINT dpi) {
    using AdjustForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    static const auto adjust = lookup<AdjustForDpi>(L"user32.dll", "AdjustWindowRectExForDpi");
    RECT r{0, 0, 0, 0};
    if (!(adjust && adjust(&r, style, FALSE, ex_style, dpi))) AdjustWindowRectEx(&r, style, FALSE, ex_style);
    return r;
}

}  // namespace vqd::win32ui
