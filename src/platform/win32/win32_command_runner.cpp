#include "platform/win32/win32_command_runner.h"

#include "platform/failure.h"
#include "platform/win32/win32_text.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <vector>

namespace vqd {

namespace {

std::string trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

std::wstring interpreter_path() {
    wchar_t dir[MAX_PATH];
    const UINT n = GetSystemDirectoryW(dir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return L"cmd.exe";
    return std::wstring(dir, n) + L"\\cmd.exe";
}

}  // namespace

std::string Win32CommandRunner::batch_file(const std::string& command_line) {
    std::string path = trimmed(command_line);
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"') path = path.substr(1, path.size() - 2);
    if (is_batch_file_path(path)) return path;
    return {};
}

std::wstring Win32CommandRunner::interpreter_line(const std::wstring& interpreter, const std::wstring& batch) {
    return L"\"" + interpreter + L"\" /s /c \"\"" + batch + L"\"\"";
}

void Win32CommandRunner::run(const std::string& command_line, WindowStyle style) {
    if (trimmed(command_line).empty())
        throw PlatformError("run command", command_line, win32::system_message(ERROR_INVALID_PARAMETER));

    std::wstring application;
    std::wstring line;
    const std::string batch = batch_file(command_line);
    if (!batch.empty()) {
        // The interpreter would start and fail quietly; a missing file is the
        // caller's failure, as it is when the platform runs a batch file itself.
        const std::wstring wbatch = win32::widen(batch);
        const DWORD attributes = GetFileAttributesW(wbatch.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            throw PlatformError("run command", command_line, win32::last_error_message());
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            throw PlatformError("run command", command_line, win32::system_message(ERROR_FILE_NOT_FOUND));
        application = interpreter_path();
        line = interpreter_line(application, wbatch);
    } else {
        line = win32::widen(command_line);
    }

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    DWORD flags = 0;
    if (style == WindowStyle::Hidden) {
        startup.wShowWindow = SW_HIDE;
        flags |= CREATE_NO_WINDOW;
    } else {
        startup.wShowWindow = SW_SHOWNORMAL;
    }
    PROCESS_INFORMATION process{};
    // CreateProcessW may write into the command line buffer.
    std::vector<wchar_t> buffer(line.begin(), line.end());
    buffer.push_back(L'\0');
    if (!CreateProcessW(application.empty() ? nullptr : application.c_str(), buffer.data(), nullptr, nullptr, FALSE,
                        flags, nullptr, nullptr, &startup, &process))
        throw PlatformError("run command", command_line, win32::last_error_message());
    if (style == WindowStyle::NormalWithFocus) AllowSetForegroundWindow(process.dwProcessId);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

}  // namespace vqd
