// vqd-win-probe: looks into a running VQ-DAZ-ER main window from outside, for
// the GUI test script. Controls are found by their names through the ids the
// renderer gives them (1000 + the place in the main window's inventory).
//
//   vqd-win-probe center TITLE CONTROL   screen coordinates of the control's centre
//   vqd-win-probe text TITLE CONTROL     the control's text
//   vqd-win-probe focus TITLE            the name of the control that has the focus
//   vqd-win-probe close TITLE            the window system's close command
//   vqd-win-probe shell-forget           the shell drops the program's tray icon, as a restarting shell does
//   vqd-win-probe shell-restarted        the message a shell sends when it has (re)started
// Exit status 1 when the window or the control is not there (yet).
#include "frontend/win32/window_view.h"
#include "platform/win32/win32_text.h"
#include "windows/main_window.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

namespace {

HWND control_of(HWND window, const std::string& name) {
    const auto inventory = vqd::MainWindow::inventory();
    for (size_t i = 0; i < inventory.size(); ++i)
        if (inventory[i].name == name) return GetDlgItem(window, vqd::win32ui::kFirstControlId + static_cast<int>(i));
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "shell-forget") {
        NOTIFYICONDATAW d{};
        d.cbSize = sizeof d;
        d.hWnd = FindWindowW(L"VQD_TRAY", nullptr);
        d.uID = 1;
        return d.hWnd && Shell_NotifyIconW(NIM_DELETE, &d) ? 0 : 1;
    }
    if (argc == 2 && std::string(argv[1]) == "shell-restarted") {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0, SMTO_ABORTIFHUNG, 5000,
                            &result);
        return 0;
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: vqd-win-probe center|text TITLE CONTROL | focus|close TITLE\n");
        return 2;
    }
    const std::string command = argv[1];
    // The title comes in the ANSI code page from the C runtime; ours is ASCII.
    HWND window = FindWindowW(vqd::win32ui::kFormClassName, vqd::win32::widen(argv[2]).c_str());
    if (!window) return 1;
    if (command == "close") return PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
    if (command == "focus") {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) || !info.hwndFocus) return 1;
        const auto inventory = vqd::MainWindow::inventory();
        const int index = GetDlgCtrlID(info.hwndFocus) - vqd::win32ui::kFirstControlId;
        if (GetParent(info.hwndFocus) != window || index < 0 || static_cast<size_t>(index) >= inventory.size()) return 1;
        std::printf("%s\n", std::string(inventory[static_cast<size_t>(index)].name).c_str());
        return 0;
    }
    if (argc < 4) return 2;
    HWND control = control_of(window, argv[3]);
    if (!control) return 1;
    if (command == "center") {
        RECT r{};
        GetWindowRect(control, &r);
        std::printf("%ld %ld\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2);
        return 0;
    }
    if (command == "text") {
        wchar_t text[1024] = {};
        // WM_GETTEXT itself: GetWindowText does not read other programs' controls.
        SendMessageTimeoutW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, nullptr);
        std::printf("%s\n", vqd::win32::narrow(text).c_str());
        return 0;
    }
    return 2;
}
