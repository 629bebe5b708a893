#include "platform/win32/win32_text_files.h"

#include "platform/command_runner.h"
#include "platform/failure.h"
#include "platform/win32/win32_text.h"

#include <windows.h>

#include <algorithm>
#include <cctype>

namespace vqd {

namespace {

constexpr LONGLONG kLongestReadable = 32767;  // the reader's length is a signed 16-bit count

bool has_non_ascii(const std::wstring& s) {
    return std::any_of(s.begin(), s.end(), [](wchar_t c) { return c > 0x7F; });
}

// Where the path starts inside an unquoted word: after a redirection sign or
// after the "=" of an option.
size_t path_start(const std::wstring& word) {
    size_t i = 0;
    while (i < word.size() && (word[i] == L'>' || word[i] == L'<')) ++i;
    if (i > 0) return i;
    if (!word.empty() && (word[0] == L'-' || word[0] == L'/')) {
        const auto eq = word.find(L'=');
        if (eq != std::wstring::npos) return eq + 1;
    }
    return 0;
}

std::string code_page_name(unsigned cp) {
    return (cp == CP_OEMCP ? "OEM code page " + std::to_string(GetOEMCP())
                           : "ANSI code page " + std::to_string(GetACP()));
}

std::string first_unwritable(const std::wstring& text, unsigned code_page) {
    std::string bytes;
    for (wchar_t c : text)
        if (!win32::encode(std::wstring_view(&c, 1), code_page, bytes)) return win32::narrow(std::wstring(1, c));
    return "?";
}

}  // namespace

std::wstring Win32TextFiles::shorten_paths(const std::wstring& line,
                                           const std::function<std::wstring(const std::wstring&)>& shorten) {
    std::wstring out;
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == L' ' || line[i] == L'\t') {
            out += line[i++];
            continue;
        }
        if (line[i] == L'"') {
            const auto close = line.find(L'"', i + 1);
            const size_t end = close == std::wstring::npos ? line.size() : close;
            const std::wstring path = line.substr(i + 1, end - i - 1);
            out += L'"';
            out += has_non_ascii(path) ? shorten(path) : path;
            if (close != std::wstring::npos) out += L'"';
            i = close == std::wstring::npos ? line.size() : close + 1;
            continue;
        }
        size_t end = i;
        while (end < line.size() && line[end] != L' ' && line[end] != L'\t' && line[end] != L'"') ++end;
        const std::wstring word = line.substr(i, end - i);
        const size_t start = path_start(word);
        const std::wstring path = word.substr(start);
        out += word.substr(0, start);
        out += has_non_ascii(path) ? shorten(path) : path;
        i = end;
    }
    return out;
}

std::wstring Win32TextFiles::short_form(const std::wstring& path) {
    std::wstring head = path;
    std::wstring tail;
    while (!head.empty()) {
        const DWORD needed = GetShortPathNameW(head.c_str(), nullptr, 0);
        if (needed > 0) {
            std::wstring buffer(needed, L'\0');
            const DWORD n = GetShortPathNameW(head.c_str(), buffer.data(), needed);
            if (n > 0 && n < needed) {
                buffer.resize(n);
                return buffer + tail;
            }
        }
        const auto cut = head.find_last_of(L"\\/");
        if (cut == std::wstring::npos || cut == 0) break;
        tail = head.substr(cut) + tail;
        head.erase(cut);
    }
    return path;
}

std::string Win32TextFiles::encoded_line(const std::string& path, const std::string& line) {
    std::wstring text = win32::widen(line);
    unsigned code_page = CP_ACP;
    if (is_batch_file_path(path)) {
        text = shorten_paths(text, short_form);
        code_page = CP_OEMCP;
    }
    std::string bytes;
    if (!win32::encode(text, code_page, bytes))
        throw PlatformError("write file", path,
                            "the character \"" + first_unwritable(text, code_page) + "\" has no equivalent in the " +
                                code_page_name(code_page) + (code_page == CP_OEMCP ? " and its path no short name" : ""));
    return bytes + "\r\n";
}

void Win32TextFiles::write_line(const std::string& path, const std::string& line) {
    const std::string bytes = encoded_line(path, line);
    HANDLE file = CreateFileW(win32::widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw PlatformError("write file", path, win32::last_error_message());
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    const std::string reason = ok ? std::string() : win32::last_error_message();
    const BOOL closed = CloseHandle(file);
    if (!ok) throw PlatformError("write file", path, reason);
    if (written != bytes.size()) throw PlatformError("write file", path, win32::system_message(ERROR_WRITE_FAULT));
    if (!closed) throw PlatformError("write file", path, win32::last_error_message());
}

std::string Win32TextFiles::read_whole(const std::string& path) {
    // The client may still hold the log open for writing: share everything.
    HANDLE file = CreateFileW(win32::widen(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw PlatformError("read file", path, win32::last_error_message());
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) {
        const std::string reason = win32::last_error_message();
        CloseHandle(file);
        throw PlatformError("read file", path, reason);
    }
    if (size.QuadPart > kLongestReadable) {
        CloseHandle(file);
        throw PlatformError("read file", path,
                            "the file is " + std::to_string(size.QuadPart) + " bytes long, longer than 32767 bytes");
    }
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    const BOOL ok = bytes.empty() || ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    const std::string reason = ok ? std::string() : win32::last_error_message();
    CloseHandle(file);
    if (!ok) throw PlatformError("read file", path, reason);
    bytes.resize(read);
    return win32::narrow(win32::decode(bytes, CP_ACP));
}

}  // namespace vqd
