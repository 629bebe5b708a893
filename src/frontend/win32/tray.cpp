#include "frontend/win32/tray.h"

#include "frontend/win32/dpi.h"
#include "platform/win32/win32_text.h"
#include "windows/extras_window.h"
#include "windows/main_window.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

namespace vqd::win32ui {

namespace {
constexpr wchar_t kTrayClassName[] = L"VQD_TRAY";
constexpr UINT kIconId = 1;
constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRetireExtras = WM_APP + 41;
constexpr UINT kFirstMenuId = 100, kShowHideId = 99;


template <std::size_t N>
void copy_text(wchar_t (&to)[N], const std::wstring& from) {
    // The shell's fields are fixed arrays; a longer text is cut, never overrun.
    const std::size_t n = std::min(from.size(), N - 1);
    std::copy_n(from.begin(), n, to);
    to[n] = L'\0';
}
}  // namespace

Tray::Tray(ExtrasMonitor& monitor, WindowView& main_view, SchedulerDriver& driver, FontCache& fonts)
    : monitor_(monitor), main_view_(main_view), driver_(driver), fonts_(fonts) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Tray::procedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kTrayClassName;
    RegisterClassExW(&wc);  // fails harmlessly when already registered
    hwnd_ = CreateWindowExW(0, kTrayClassName, L"VQ-DAZ-ER tray", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                            GetModuleHandleW(nullptr), this);
    plain_ = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    if (!plain_) plain_ = LoadIconW(nullptr, IDI_APPLICATION);
    cued_ = LoadIconW(nullptr, IDI_WARNING);
    // Explorer restarting forgets every icon; it announces itself with this.
    taskbar_created_ = RegisterWindowMessageW(L"TaskbarCreated");

    monitor_.on_message = [this](const std::string& text) {
        if (!shown_) return;
        NOTIFYICONDATAW d = data(NIF_INFO);
        copy_text(d.szInfoTitle, win32::widen(monitor_.services().executable.name()));
        copy_text(d.szInfo, win32::widen(text));
        d.dwInfoFlags = NIIF_WARNING;
        Shell_NotifyIconW(NIM_MODIFY, &d);
    };
    monitor_.on_extras_opened = [this](ExtrasWindow& window) { show_extras(window); };
    SetWindowSubclass(main_view_.hwnd(), Tray::main_subclass, 1, reinterpret_cast<DWORD_PTR>(this));

    SetTimer(hwnd_, kRefreshTimer, 1000, nullptr);
    refresh();
}

Tray::~Tray() {
    monitor_.on_message = nullptr;
    monitor_.on_extras_opened = nullptr;
    if (IsWindow(main_view_.hwnd())) RemoveWindowSubclass(main_view_.hwnd(), Tray::main_subclass, 1);
    if (shown_) {
        NOTIFYICONDATAW d = data(0);
        Shell_NotifyIconW(NIM_DELETE, &d);
    }
    extras_view_.reset();
    retired_.reset();
    if (hwnd_) DestroyWindow(hwnd_);
}

NOTIFYICONDATAW Tray::data(UINT flags) const {
    NOTIFYICONDATAW d{};
    d.cbSize = sizeof d;
    d.hWnd = hwnd_;
    d.uID = kIconId;
    d.uFlags = flags;
    return d;
}

void Tray::refresh() {
    const bool wanted = monitor_.tray_icon_wanted() && !monitor_.main_window().closed();
    if (!wanted) {
        if (shown_) {
            NOTIFYICONDATAW d = data(0);
            Shell_NotifyIconW(NIM_DELETE, &d);
            shown_ = false;
        }
        return;
    }
    const bool cue = monitor_.cue_raised();
    std::wstring tip = win32::widen(monitor_.tooltip());
    if (shown_ && cue == showing_cue_ && tip == tooltip_) return;
    NOTIFYICONDATAW d = data(NIF_ICON | NIF_TIP | NIF_MESSAGE);
    d.uCallbackMessage = kIconMessage;
    d.hIcon = cue ? cued_ : plain_;
    copy_text(d.szTip, tip);
    // Where there is no notification area the shell refuses the icon; the
    // next refresh tries again, so a shell that starts later still gets it.
    const bool ok = Shell_NotifyIconW(shown_ ? NIM_MODIFY : NIM_ADD, &d) != FALSE;
    if (!ok) {
        shown_ = false;
        return;
    }
    shown_ = true;
    showing_cue_ = cue;
    tooltip_ = tip.substr(0, std::size(d.szTip) - 1);
}

void Tray::toggle_main_window() {
    HWND main = main_view_.hwnd();
    if (!IsWindow(main)) return;
    if (IsWindowVisible(main) && !IsIconic(main)) {
        ShowWindow(main, SW_HIDE);
        return;
    }
    ShowWindow(main, IsIconic(main) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(main);
}

void Tray::popup_menu(POINT at) {
    HMENU menu = CreatePopupMenu();
    const bool visible = IsWindowVisible(main_view_.hwnd());
    AppendMenuW(menu, MF_STRING, kShowHideId, visible ? L"Hide" : L"Show");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    std::vector<TrayMenuItem> items = monitor_.tray_menu();
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i + 2 == items.size()) AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING | (items[i].enabled ? 0 : MF_GRAYED), kFirstMenuId + i,
                    win32::widen(items[i].caption).c_str());
    }
    // The menu closes when the user clicks elsewhere only if our window is in front.
    SetForegroundWindow(hwnd_);
    const UINT chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, hwnd_,
                                       nullptr);
    PostMessageW(hwnd_, WM_NULL, 0, 0);
    DestroyMenu(menu);
    if (chosen == kShowHideId) toggle_main_window();
    else if (chosen >= kFirstMenuId && chosen < kFirstMenuId + items.size()) items[chosen - kFirstMenuId].activate();
    driver_.drive();
}

void Tray::show_extras(ExtrasWindow& window) {
    if (extras_view_ && &extras_view_->model() == &window && IsWindow(extras_view_->hwnd())) {
        SetForegroundWindow(extras_view_->hwnd());
        return;
    }
    if (extras_view_) retired_ = std::move(extras_view_);
    extras_view_ = std::make_unique<WindowView>(window, nullptr, driver_, fonts_);
    // Inside the window's own close notification: let it finish first.
    extras_view_->on_closed = [this] { PostMessageW(hwnd_, kRetireExtras, 0, 0); };
    extras_view_->show();
}

LRESULT CALLBACK Tray::procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Tray*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Tray*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && self->hwnd_ == window) return self->handle(message, wparam, lparam);
    return DefWindowProcW(window, message, wparam, lparam);
}

LRESULT Tray::handle(UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == kIconMessage) {
        switch (LOWORD(lparam)) {
            case WM_LBUTTONUP:
                toggle_main_window();
                break;
            case WM_RBUTTONUP:
            case WM_CONTEXTMENU: {
                POINT at{};
                GetCursorPos(&at);
                popup_menu(at);
                break;
            }
        }
        return 0;
    }
    if (message == WM_TIMER && wparam == kRefreshTimer) {
        refresh();
        return 0;
    }
    if (message == kRetireExtras) {
        if (extras_view_ && !IsWindow(extras_view_->hwnd())) extras_view_.reset();
        retired_.reset();
        return 0;
    }
    if (taskbar_created_ && message == taskbar_created_) {
        shown_ = false;
        refresh();
        return 0;
    }
    return DefWindowProcW(hwnd_, message, wparam, lparam);
}

LRESULT CALLBACK Tray::main_subclass(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                     DWORD_PTR self_ptr) {
    auto* self = reinterpret_cast<Tray*>(self_ptr);
    if (message == WM_CONTEXTMENU) {
        POINT at{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
        POINT client = at;
        ScreenToClient(window, &client);
        const int band = twips_to_px(title_band_bottom_twips(self->main_view_.model()), self->main_view_.dpi());
        if (client.y >= 0 && client.y < band) {
            self->popup_menu(at);
            return 0;
        }
    }
    return DefSubclassProc(window, message, wparam, lparam);
}

}  // namespace vqd::win32ui
