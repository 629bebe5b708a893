#include "platform/win32/win32_error_log.h"

#include "platform/win32/win32_text.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>

namespace vqd {

namespace {

std::string application_data_folder() {
    wchar_t path[MAX_PATH];
    if (SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) return ".";
    return win32::narrow(path);
}

void to_standard_error(const std::string& line) {
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (err && err != INVALID_HANDLE_VALUE && GetConsoleMode(err, &mode)) {
        const std::wstring text = win32::widen(line);
        DWORD written = 0;
        WriteConsoleW(err, text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    DWORD written = 0;
    if (err && err != INVALID_HANDLE_VALUE &&
        WriteFile(err, line.data(), static_cast<DWORD>(line.size()), &written, nullptr))
        return;
    OutputDebugStringW(win32::widen(line).c_str());
}

}  // namespace

std::string Win32ErrorLog::location() const {
    return application_data_folder() + "\\" + application_ + "\\" + executable_.name() + "-errors.log";
}

void Win32ErrorLog::record(const std::string& message) {
    const std::string line = stamped_line(message, "\r\n");
    to_standard_error(line);
    const std::wstring folder = win32::widen(application_data_folder() + "\\" + application_);
    CreateDirectoryW(folder.c_str(), nullptr);  // already there after the first failure
    HANDLE file = CreateFileW(win32::widen(location()).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        const BOOL ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        CloseHandle(file);
        if (ok) return;
    }
    to_standard_error("(the error log " + location() + " cannot be written: " + win32::last_error_message() + ")\r\n");
}

}  // namespace vqd
