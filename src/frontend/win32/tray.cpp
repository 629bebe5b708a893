#include "frontend/win32/tray.h"

#include "platform/win32/win32_text.h"

#include <algorithm>
#include <vector>

namespace vqd::win32ui {

namespace {
constexpr wchar_t kTrayClassName[] = L"VQD_TRAY";
constexpr UINT kIconId = 1;
constexpr UINT kFirstMenuId = 100;

template <std::size_t N>
void copy_text(wchar_t (&to)[N], const std::wstring& from) {
    // The shell's fields are fixed arrays; a longer text is cut, never overrun.
    const std::size_t n = std::min(from.size(), N - 1);
    std::copy_n(from.begin(), n, to);
    to[n] = L'\0';
}
}  // namespace

TrayIcon::TrayIcon() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = TrayIcon::procedure;
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
}

TrayIcon::~TrayIcon() {
    hide();
    if (hwnd_) DestroyWindow(hwnd_);
}

NOTIFYICONDATAW TrayIcon::data(UINT flags) const {
    NOTIFYICONDATAW d{};
    d.cbSize = sizeof d;
    d.hWnd = hwnd_;
    d.uID = kIconId;
    d.uFlags = flags;
    return d;
}

bool TrayIcon::show(TrayPicture picture, const std::string& tooltip) {
    wanted_ = true;
    std::wstring tip = win32::widen(tooltip);
    tip = tip.substr(0, std::size(NOTIFYICONDATAW{}.szTip) - 1);
    if (shown_ && picture == picture_ && tip == tooltip_) return true;
    picture_ = picture;
    tooltip_ = tip;
    return add_or_modify();
}

bool TrayIcon::add_or_modify() {
    NOTIFYICONDATAW d = data(NIF_ICON | NIF_TIP | NIF_MESSAGE);
    d.uCallbackMessage = kIconMessage;
    d.hIcon = picture_ == TrayPicture::Cue ? cued_ : plain_;
    copy_text(d.szTip, tooltip_);
    // Where there is no notification area the shell refuses the icon; the
    // next call tries again, so a shell that starts later still gets it. A
    // shell may also hold the icon when we think it gone (TaskbarCreated
    // comes on other occasions than a restart), or have lost it: the other
    // command then does.
    const DWORD first = shown_ ? NIM_MODIFY : NIM_ADD, second = shown_ ? NIM_ADD : NIM_MODIFY;
    shown_ = Shell_NotifyIconW(first, &d) != FALSE || Shell_NotifyIconW(second, &d) != FALSE;
    return shown_;
}

void TrayIcon::hide() {
    wanted_ = false;
    if (!shown_) return;
    NOTIFYICONDATAW d = data(0);
    Shell_NotifyIconW(NIM_DELETE, &d);
    shown_ = false;
}

bool TrayIcon::balloon(const std::string& title, const std::string& text) {
    if (!shown_) return false;
    NOTIFYICONDATAW d = data(NIF_INFO);
    copy_text(d.szInfoTitle, win32::widen(title));
    copy_text(d.szInfo, win32::widen(text));
    d.dwInfoFlags = NIIF_WARNING;
    return Shell_NotifyIconW(NIM_MODIFY, &d) != FALSE;
}

void TrayIcon::popup_menu(int x, int y) {
    std::vector<MenuEntry> entries = menu ? menu() : std::vector<MenuEntry>{};
    HMENU popup = CreatePopupMenu();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].caption.empty()) AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
        else
            AppendMenuW(popup, MF_STRING | (entries[i].enabled ? 0 : MF_GRAYED), kFirstMenuId + i,
                        win32::widen(entries[i].caption).c_str());
    }
    // The menu closes when the user clicks elsewhere only if our window is in front.
    SetForegroundWindow(hwnd_);
    const UINT chosen =
        TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, x, y, 0, hwnd_, nullptr);
    PostMessageW(hwnd_, WM_NULL, 0, 0);
    DestroyMenu(popup);
    if (chosen >= kFirstMenuId && chosen < kFirstMenuId + entries.size() && entries[chosen - kFirstMenuId].chosen)
        entries[chosen - kFirstMenuId].chosen();
}

LRESULT CALLBACK TrayIcon::procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<TrayIcon*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<TrayIcon*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && self->hwnd_ == window) return self->handle(message, wparam, lparam);
    return DefWindowProcW(window, message, wparam, lparam);
}

LRESULT TrayIcon::handle(UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == kIconMessage) {
        switch (LOWORD(lparam)) {
            case WM_LBUTTONUP:
                if (on_click) on_click(TrayClick::Primary);
                break;
            case WM_RBUTTONUP:
            case WM_CONTEXTMENU: {
                POINT at{};
                GetCursorPos(&at);
                popup_menu(at.x, at.y);
                break;
            }
        }
        return 0;
    }
    if (taskbar_created_ && message == taskbar_created_) {
        // A new shell holds no icon of ours: add it again at once, as it was.
        shown_ = false;
        if (wanted_) add_or_modify();
        return 0;
    }
    return DefWindowProcW(hwnd_, message, wparam, lparam);
}

}  // namespace vqd::win32ui
