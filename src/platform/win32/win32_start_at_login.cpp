#include "platform/win32/win32_start_at_login.h"

#include "platform/failure.h"
#include "platform/win32/win32_text.h"

#include <cstring>
#include <optional>
#include <vector>

#include <windows.h>

namespace vqd {

namespace {

constexpr const wchar_t* kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const wchar_t* kApproved = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
// What the start-up list writes for an entry the user switched back on.
constexpr BYTE kApprovedOn[12] = {0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

std::string key_name(const wchar_t* key) { return "HKEY_CURRENT_USER\\" + win32::narrow(key); }

[[noreturn]] void fail(const char* what, const wchar_t* key, LSTATUS status) {
    throw PlatformError(what, key_name(key), win32::system_message(static_cast<std::uint32_t>(status)));
}

class Key {
public:
    // Opens (or with `create`, creates) a key under HKCU; null when absent.
    Key(const wchar_t* path, REGSAM access, bool create, const char* what) {
        const LSTATUS s = create ? RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, access, nullptr, &h_, nullptr)
                                 : RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, access, &h_);
        if (s == ERROR_FILE_NOT_FOUND && !create) h_ = nullptr;
        else if (s != ERROR_SUCCESS) fail(what, path, s);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key() {
        if (h_) RegCloseKey(h_);
    }
    HKEY get() const { return h_; }

private:
    HKEY h_ = nullptr;
};

struct Value {
    DWORD type = 0;
    std::vector<BYTE> bytes;
};

std::optional<Value> read_value(HKEY key, const std::wstring& name) {
    if (!key) return std::nullopt;
    Value v;
    DWORD size = 0;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &v.type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
    v.bytes.resize(size);
    if (RegQueryValueExW(key, name.c_str(), nullptr, &v.type, v.bytes.data(), &size) != ERROR_SUCCESS)
        return std::nullopt;
    v.bytes.resize(size);
    return v;
}

LSTATUS write_value(HKEY key, const std::wstring& name, DWORD type, const BYTE* bytes, std::size_t size) {
    return RegSetValueExW(key, name.c_str(), 0, type, bytes, static_cast<DWORD>(size));
}

// Puts a value back as it was (absent included), after a later step failed.
void restore(HKEY key, const std::wstring& name, const std::optional<Value>& was) {
    if (was) write_value(key, name, was->type, was->bytes.data(), was->bytes.size());
    else RegDeleteValueW(key, name.c_str());
}

LSTATUS remove_value(HKEY key, const std::wstring& name) {
    if (!key) return ERROR_SUCCESS;
    const LSTATUS s = RegDeleteValueW(key, name.c_str());
    return s == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : s;
}

// The program a Run value's command line starts: its first argument, unquoted.
std::wstring program_of(std::wstring line) {
    while (!line.empty() && line.back() == L'\0') line.pop_back();
    std::size_t i = line.find_first_not_of(L' ');
    if (i == std::wstring::npos) return {};
    if (line[i] == L'"') {
        const auto close = line.find(L'"', i + 1);
        return close == std::wstring::npos ? std::wstring() : line.substr(i + 1, close - i - 1);
    }
    return line.substr(i, line.find(L' ', i) - i);
}

bool approved_off(const std::optional<Value>& v) {
    return v && v->type == REG_BINARY && !v->bytes.empty() && (v->bytes[0] & 1) != 0;
}

}  // namespace

Win32StartAtLogin::Win32StartAtLogin(std::wstring section, std::wstring program_path)
    : section_(std::move(section)), program_(std::move(program_path)) {}

std::wstring Win32StartAtLogin::run_data() const { return L"\"" + program_ + L"\""; }

bool Win32StartAtLogin::enabled() const {
    const Key run(kRun, KEY_QUERY_VALUE, false, "read start-up entry");
    const auto value = read_value(run.get(), section_);
    if (!value || (value->type != REG_SZ && value->type != REG_EXPAND_SZ)) return false;
    std::wstring line(value->bytes.size() / sizeof(wchar_t), L'\0');
    if (!line.empty()) std::memcpy(line.data(), value->bytes.data(), line.size() * sizeof(wchar_t));
    // File names compare as the file system does, without regard to case.
    const std::wstring program = program_of(line);
    if (CompareStringOrdinal(program.c_str(), static_cast<int>(program.size()), program_.c_str(),
                             static_cast<int>(program_.size()), TRUE) != CSTR_EQUAL)
        return false;
    const Key approved(kApproved, KEY_QUERY_VALUE, false, "read start-up entry");
    return !approved_off(read_value(approved.get(), section_));
}

void Win32StartAtLogin::set_enabled(bool on) {
    if (!on) {
        const Key run(kRun, KEY_QUERY_VALUE | KEY_SET_VALUE, false, "remove start-up entry");
        const Key approved(kApproved, KEY_QUERY_VALUE | KEY_SET_VALUE, false, "remove start-up entry");
        const auto was = read_value(run.get(), section_);
        if (const LSTATUS s = remove_value(run.get(), section_); s != ERROR_SUCCESS)
            fail("remove start-up entry", kRun, s);
        if (const LSTATUS s = remove_value(approved.get(), section_); s != ERROR_SUCCESS) {
            restore(run.get(), section_, was);
            fail("remove start-up entry", kApproved, s);
        }
        return;
    }
    const Key run(kRun, KEY_QUERY_VALUE | KEY_SET_VALUE, true, "write start-up entry");
    const auto was = read_value(run.get(), section_);
    const std::wstring data = run_data();
    if (const LSTATUS s = write_value(run.get(), section_, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                                      (data.size() + 1) * sizeof(wchar_t));
        s != ERROR_SUCCESS)
        fail("write start-up entry", kRun, s);
    try {
        const Key approved(kApproved, KEY_QUERY_VALUE | KEY_SET_VALUE, false, "write start-up entry");
        if (approved_off(read_value(approved.get(), section_)))
            if (const LSTATUS s = write_value(approved.get(), section_, REG_BINARY, kApprovedOn, sizeof kApprovedOn);
                s != ERROR_SUCCESS)
                fail("write start-up entry", kApproved, s);
    } catch (...) {
        restore(run.get(), section_, was);
        throw;
    }
}

}  // namespace vqd
