#include "platform/win32/win32_settings_store.h"

#include "platform/failure.h"
#include "platform/win32/win32_text.h"

#include <optional>
#include <vector>

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
    const std::string path = section_path(application, section);
    const LSTATUS opened = RegOpenKeyExW(HKEY_CURRENT_USER, widen(path).c_str(), 0, KEY_QUERY_VALUE, &hkey);
    if (opened == ERROR_FILE_NOT_FOUND) return fallback;
    if (opened != ERROR_SUCCESS)
        throw PlatformError("read settings", "HKEY_CURRENT_USER\\" + path,
                            win32::system_message(static_cast<std::uint32_t>(opened)));
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
    save_all(application, section, {{key, value}});
}

namespace {

// A value as the registry held it before a save, to put back if the save fails.
struct Previous {
    std::wstring name;
    std::optional<std::pair<DWORD, std::vector<BYTE>>> data;  // absent when there was no value
};

Previous read_previous(HKEY hkey, const std::wstring& name) {
    Previous p{name, std::nullopt};
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(hkey, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return p;
    std::vector<BYTE> bytes(size);
    if (RegQueryValueExW(hkey, name.c_str(), nullptr, &type, bytes.data(), &size) != ERROR_SUCCESS) return p;
    bytes.resize(size);
    p.data.emplace(type, std::move(bytes));
    return p;
}

void put_back(HKEY hkey, const Previous& p) {
    if (p.data)
        RegSetValueExW(hkey, p.name.c_str(), 0, p.data->first, p.data->second.data(),
                       static_cast<DWORD>(p.data->second.size()));
    else
        RegDeleteValueW(hkey, p.name.c_str());
}

}  // namespace

void Win32SettingsStore::save_all(const std::string& application, const std::string& section, const Values& values) {
    const std::string path = section_path(application, section);
    HKEY hkey = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, widen(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, &hkey, nullptr);
    if (status != ERROR_SUCCESS)
        throw PlatformError("save settings", "HKEY_CURRENT_USER\\" + path,
                            win32::system_message(static_cast<std::uint32_t>(status)));
    std::vector<Previous> done;
    for (const auto& [key, value] : values) {
        const std::wstring name = widen(key);
        Previous previous = read_previous(hkey, name);
        const std::wstring text = widen(value);
        const DWORD size = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
        status = RegSetValueExW(hkey, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), size);
        if (status != ERROR_SUCCESS) {
            for (auto it = done.rbegin(); it != done.rend(); ++it) put_back(hkey, *it);
            RegCloseKey(hkey);
            throw PlatformError("save settings", key, win32::system_message(static_cast<std::uint32_t>(status)));
        }
        done.push_back(std::move(previous));
    }
    RegCloseKey(hkey);
}

}  // namespace vqd
