#include "platform/win32/win32_text.h"

#include <windows.h>

namespace vqd::win32 {

std::wstring widen(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string narrow(std::wstring_view utf16) {
    if (utf16.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), out.data(), n, nullptr, nullptr);
    return out;
}

namespace {

// Code pages for which WideCharToMultiByte takes no flags and no "default
// character used" report (it fails with ERROR_INVALID_PARAMETER otherwise).
bool takes_no_flags(unsigned code_page) {
    switch (code_page) {
        case CP_UTF7:
        case 42:  // symbol
        case 50220:
        case 50221:
        case 50222:
        case 50225:
        case 50227:
        case 50229:
            return true;
        default:
            return code_page >= 57002 && code_page <= 57011;
    }
}

unsigned actual_code_page(unsigned code_page) {
    if (code_page == CP_ACP) return GetACP();
    if (code_page == CP_OEMCP) return GetOEMCP();
    return code_page;
}

}  // namespace

bool encode(std::wstring_view text, unsigned code_page, std::string& out) {
    out.clear();
    if (text.empty()) return true;
    // With "UTF-8 for worldwide language support" the ANSI and OEM code pages
    // are 65001 themselves, so the numbers the system gives are looked at too.
    code_page = actual_code_page(code_page);
    const int len = static_cast<int>(text.size());
    DWORD flags = 0;
    BOOL lossy = FALSE;
    BOOL* lossy_report = &lossy;
    if (code_page == CP_UTF8) {
        // Every character has its bytes; only a broken surrogate pair has none.
        flags = WC_ERR_INVALID_CHARS;
        lossy_report = nullptr;
    } else if (takes_no_flags(code_page)) {
        lossy_report = nullptr;
    } else {
        // No best-fit mapping: an "é" must not quietly become an "e" in a path.
        flags = WC_NO_BEST_FIT_CHARS;
    }
    const int n = WideCharToMultiByte(code_page, flags, text.data(), len, nullptr, 0, nullptr, lossy_report);
    if (n <= 0 || lossy) return false;
    out.resize(static_cast<size_t>(n));
    if (WideCharToMultiByte(code_page, flags, text.data(), len, out.data(), n, nullptr, lossy_report) != n) return false;
    if (lossy) return false;
    if (!lossy_report) {
        // These code pages report no replacement: a character that does not
        // come back the same was replaced.
        return decode(out, code_page) == text;
    }
    return true;
}

std::wstring decode(std::string_view bytes, unsigned code_page) {
    if (bytes.empty()) return {};
    const int len = static_cast<int>(bytes.size());
    const int n = MultiByteToWideChar(code_page, 0, bytes.data(), len, nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(code_page, 0, bytes.data(), len, out.data(), n);
    return out;
}

std::string system_message(std::uint32_t code) {
    wchar_t* buffer = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = n && buffer ? std::wstring(buffer, n) : std::wstring();
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' ||
                             text.back() == L'.'))
        text.pop_back();
    if (text.empty()) return "system error " + std::to_string(code);
    return narrow(text) + " (" + std::to_string(code) + ")";
}

std::string last_error_message() { return system_message(GetLastError()); }

}  // namespace vqd::win32
