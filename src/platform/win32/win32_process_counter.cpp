#include "platform/win32/win32_process_counter.h"

#include "platform/failure.h"
#include "platform/win32/win32_text.h"

#include <windows.h>
#include <tlhelp32.h>

namespace vqd {

int Win32ProcessCounter::count(const std::string& image_name) {
    if (image_name.empty()) return 0;  // no process has an empty image name
    const std::wstring wanted = win32::widen(image_name);
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        throw PlatformError("count processes", image_name, win32::last_error_message());
    int n = 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        // Ordinal comparison with case folding: the file system's rule, not the locale's.
        if (CompareStringOrdinal(entry.szExeFile, -1, wanted.c_str(), static_cast<int>(wanted.size()), TRUE) ==
            CSTR_EQUAL)
            ++n;
    }
    CloseHandle(snapshot);
    return n;
}

}  // namespace vqd
