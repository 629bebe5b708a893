#include "platform/win32/win32_settings_store.h"

#include "platform/failure.h"
#include "platform/win32/win32_text.h"

#include <windows.h>

namespace vqd {

using win32::narrow;
using win32::widen;

std::string Win32SettingsStore::section_path(const std::string& application, const std::string& section) {
    return "Software\\VB and VBA Program Settings\\" + application + "\\" + section;
}

std::string Win32SettingsStore::get(const std::string& application, const std::string& section,
                                    const std::string& key, const std::string& fallback) {
    HKEY hkey = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, widen(section_path(application, section)).c_str(), 0, KEY_QUERY_VALUE,
                      &hkey) != ERROR_SUCCESS)
        return fallback;
    const std::wstring name = widen(key);
    std::string result = fallback;
    DWORD type = 0;
    DWORD bytes = 0;
    LSTATUS status = RegQueryValueExW(hkey, name.c_str(), nullptr, &type, nullptr, &bytes);
    // Only text values count; anything else under the key is as good as absent.
    if (status == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ)) {
        std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
        DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        status = RegQueryValueExW(hkey, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size);
        if (status == ERROR_SUCCESS) {
            text.resize(size / sizeof(wchar_t));
            // The stored size may or may not count the terminating zero.
            while (!text.empty() && text.back() == L'\0') text.pop_back();
            result = narrow(text);
        }
    }
    RegCloseKey(hkey);
    return result;
}

void Win32SettingsStore::save(const std::string& application, const std::string& section, const std::string& key,
                              const std::string& value) {
    const std::string path = section_path(application, section);
    HKEY hkey = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, widen(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_SET_VALUE, nullptr, &hkey, nullptr);
    if (status != ERROR_SUCCESS)
        throw PlatformError("save setting", key, win32::system_message(static_cast<std::uint32_t>(status)));
    const std::wstring text = widen(value);
    const DWORD size = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    status = RegSetValueExW(hkey, widen(key).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), size);
    RegCloseKey(hkey);
    if (status != ERROR_SUCCESS)
        throw PlatformError("save setting", key, win32::system_message(static_cast<std::uint32_t>(status)));
}

}  // namespace vqd
