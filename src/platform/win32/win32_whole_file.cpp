// Replacing a file whole or not at all on Windows: the bytes go to a
// temporary file in the same folder, every WriteFile is checked, the file is
// flushed to the disk and only then moved over the old one.
#include "platform/failure.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/win32_text_files.h"

#include <windows.h>

#include <algorithm>

namespace vqd {

namespace {

[[noreturn]] void fail(const std::string& path, DWORD error) {
    throw PlatformError("write file", path, win32::system_message(error));
}

}  // namespace

void Win32TextFiles::write_whole(const std::string& path, const std::string& bytes) {
    if (path.empty()) fail(path, ERROR_PATH_NOT_FOUND);
    const std::wstring target = win32::widen(path);
    const std::wstring temp = target + L".vqd-new";
    HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) fail(path, GetLastError());
    auto abandon = [&](DWORD error) {
        CloseHandle(file);
        DeleteFileW(temp.c_str());
        fail(path, error);
    };
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr)) abandon(GetLastError());
        if (written == 0) abandon(ERROR_WRITE_FAULT);
        done += written;
    }
    if (!FlushFileBuffers(file)) abandon(GetLastError());
    if (!CloseHandle(file)) {
        const DWORD error = GetLastError();
        DeleteFileW(temp.c_str());
        fail(path, error);
    }
    if (!MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = GetLastError();
        DeleteFileW(temp.c_str());
        fail(path, error);
    }
}

}  // namespace vqd
