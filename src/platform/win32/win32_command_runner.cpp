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

// One process start, handed to the thread that makes it.
struct Start {
    std::wstring application;
    std::vector<wchar_t> line;
    STARTUPINFOW startup{};
    DWORD flags = 0;
    bool allow_foreground = false;
    DWORD error = ERROR_SUCCESS;
};

void start_process(Start& start) {
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(start.application.empty() ? nullptr : start.application.c_str(), start.line.data(), nullptr,
                        nullptr, FALSE, start.flags, nullptr, nullptr, &start.startup, &process)) {
        start.error = GetLastError();
        return;
    }
    if (start.allow_foreground) AllowSetForegroundWindow(process.dwProcessId);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

DWORD WINAPI start_thread(void* start) {
    start_process(*static_cast<Start*>(start));
    return 0;
}

// The thread of one start. However the caller leaves (a message handled
// during the wait may throw), the thread has ended and its handle is closed
// before the Start it writes into goes.
struct Worker {
    explicit Worker(Start& start) : thread(CreateThread(nullptr, 0, start_thread, &start, 0, nullptr)) {}
    ~Worker() {
        if (!thread) return;
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;
    HANDLE thread;
};

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

    Start start;
    start.application = std::move(application);
    start.startup.cb = sizeof start.startup;
    start.startup.dwFlags = STARTF_USESHOWWINDOW;
    if (style == WindowStyle::Hidden) {
        start.startup.wShowWindow = SW_HIDE;
        start.flags |= CREATE_NO_WINDOW;
    } else {
        start.startup.wShowWindow = SW_SHOWNORMAL;
        start.allow_foreground = true;
    }
    // CreateProcessW may write into the command line buffer.
    start.line.assign(line.begin(), line.end());
    start.line.push_back(L'\0');

    {
        Worker worker(start);
        if (!worker.thread) {
            start_process(start);  // no thread to be had: start it here, as a blocking start would
        } else if (clock_) {
            clock_->wait_for(worker.thread);
        }
    }
    if (start.error != ERROR_SUCCESS)
        throw PlatformError("run command", command_line, win32::system_message(start.error));
}

}  // namespace vqd
