// Looks into the running Windows program from outside, for the Windows soak.
//
//   vqd-win-soak-probe.exe center main|settings CONTROL   screen coordinates of a control's centre
//   vqd-win-soak-probe.exe text main|settings CONTROL     a control's text
//   vqd-win-soak-probe.exe close                          the close command to the main window
//   vqd-win-soak-probe.exe count IMAGE.EXE                processes N handles H user U gdi G
//
// The settings window is the program's window whose title ends in " - SETTINGS". Controls are
// found through the ids the renderer gives them (1000 + the place in their
// window's inventory). Exit status 1 when the window or control is not there.
#include "frontend/win32/window_view.h"
#include "platform/win32/win32_text.h"
#include "windows/main_window.h"
#include "windows/settings_window.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

HWND form(bool settings) {
    for (HWND w = FindWindowExW(nullptr, nullptr, vqd::win32ui::kFormClassName, nullptr); w;
         w = FindWindowExW(nullptr, w, vqd::win32ui::kFormClassName, nullptr)) {
        wchar_t title[256] = {};
        GetWindowTextW(w, title, 256);
        const std::wstring t = title;
        const bool is_settings = t.size() >= 11 && t.compare(t.size() - 11, 11, L" - SETTINGS") == 0;
        if (IsWindowVisible(w) && is_settings == settings) return w;
    }
    return nullptr;
}

HWND control(bool settings, const std::string& name) {
    const HWND window = form(settings);
    if (!window) return nullptr;
    const auto inventory = settings ? vqd::SettingsWindow::inventory() : vqd::MainWindow::inventory();
    for (size_t i = 0; i < inventory.size(); ++i)
        if (inventory[i].name == name) return GetDlgItem(window, vqd::win32ui::kFirstControlId + static_cast<int>(i));
    return nullptr;
}

int count(const char* image) {
    const std::wstring wanted = vqd::win32::widen(image);
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 1;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    unsigned processes = 0, handles = 0, user = 0, gdi = 0;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, wanted.c_str()) != 0) continue;
        ++processes;
        const HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, entry.th32ProcessID);
        if (!process) continue;
        DWORD n = 0;
        if (GetProcessHandleCount(process, &n)) handles += n;
        user += GetGuiResources(process, GR_USEROBJECTS);
        gdi += GetGuiResources(process, GR_GDIOBJECTS);
        CloseHandle(process);
    }
    CloseHandle(snapshot);
    std::printf("processes %u handles %u user %u gdi %u\n", processes, handles, user, gdi);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "count" && argc == 3) return count(argv[2]);
    if (command == "close") {
        const HWND w = form(false);
        return w && PostMessageW(w, WM_CLOSE, 0, 0) ? 0 : 1;
    }
    if ((command == "center" || command == "text") && argc == 4) {
        const HWND c = control(std::strcmp(argv[2], "settings") == 0, argv[3]);
        if (!c) return 1;
        if (command == "center") {
            RECT r;
            GetWindowRect(c, &r);
            std::printf("%ld %ld\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2);
            return 0;
        }
        wchar_t text[1024] = {};
        SendMessageTimeoutW(c, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, nullptr);
        std::printf("%s\n", vqd::win32::narrow(text).c_str());
        return 0;
    }
    std::fprintf(stderr, "usage: vqd-win-soak-probe center|text main|settings CONTROL | close | count IMAGE\n");
    return 2;
}
