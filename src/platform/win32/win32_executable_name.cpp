#include "platform/win32/win32_executable_name.h"

#include "platform/win32/win32_text.h"

#include <windows.h>

namespace vqd {

std::string Win32ExecutableName::module_path() {
    // Paths may be longer than MAX_PATH; grow until the name fits.
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            return win32::narrow(buffer);
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string Win32ExecutableName::base_name(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    const auto dot = file.find_last_of('.');
    if (dot != std::string::npos && dot > 0) file.erase(dot);
    return file;
}

std::string Win32ExecutableName::name() const { return base_name(module_path()); }

}  // namespace vqd
