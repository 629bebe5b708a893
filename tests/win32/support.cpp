#include "support.h"

#include "platform/win32/win32_text.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace vqd::test {

using win32::narrow;
using win32::widen;

std::string native_path(const std::string& path) {
    if (path.empty() || path[0] != '/') return path;
    std::string out = "Z:" + path;
    for (char& c : out)
        if (c == '/') c = '\\';
    return out;
}

std::string test_client_path() { return native_path(VQD_TEST_CLIENT); }

TempFolder::TempFolder(const std::string& name) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    // A blank in the user's own temporary folder ("C:\Users\Jo Smith\...")
    // would split the unquoted paths of the batch lines: take its short form.
    wchar_t short_temp[MAX_PATH];
    if (std::wstring(temp).find(L' ') != std::wstring::npos && GetShortPathNameW(temp, short_temp, MAX_PATH))
        lstrcpynW(temp, short_temp, MAX_PATH);
    std::filesystem::path folder = std::filesystem::path(temp) / widen(unique_name(name));
    std::filesystem::create_directories(folder);
    path_ = narrow(folder.wstring());
    while (!path_.empty() && path_.back() == '\\') path_.pop_back();
}

TempFolder::~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(widen(path_)), ec);
}

std::string file_bytes(const std::string& path) {
    std::ifstream in(std::filesystem::path(widen(path)), std::ios::binary);
    if (!in) return "<missing>";
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void put_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(std::filesystem::path(widen(path)), std::ios::binary | std::ios::trunc);
    out << bytes;
}

void copy_file(const std::string& from, const std::string& to) {
    CopyFileW(widen(from).c_str(), widen(to).c_str(), FALSE);
}

bool pump_until(const std::function<bool()>& done, int timeout_ms) {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(timeout_ms);
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done()) return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return false;
        const ULONGLONG left = end - now;
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(left < 20 ? left : 20), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
}

void pump_for(int ms) { pump_until([] { return false; }, ms); }

std::string unique_name(const std::string& stem) {
    static int serial = 0;
    return stem + "-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial) + "-" +
           std::to_string(GetTickCount64() % 100000);
}

bool have_display() {
    HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    if (!probe) return false;
    DestroyWindow(probe);
    return true;
}

}  // namespace vqd::test
