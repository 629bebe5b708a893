#include "platform/win32/win32_text_files.h"

#include "platform/command_runner.h"
#include "platform/failure.h"
#include "platform/win32/win32_text.h"

#include <windows.h>

#include <algorithm>

namespace vqd {

namespace {

constexpr LONGLONG kLongestReadable = 32767;  // the reader's length is a signed 16-bit count

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

bool is_call(const std::wstring& word) { return CompareStringOrdinal(word.c_str(), -1, L"call", -1, TRUE) == CSTR_EQUAL; }

std::wstring file_name_of(const std::wstring& path) {
    const auto cut = path.find_last_of(L"\\/");
    return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

bool writable_in(unsigned code_page, const std::wstring& text) {
    std::string bytes;
    return win32::encode(text, code_page, bytes);
}

std::string first_unwritable(const std::wstring& text, unsigned code_page) {
    for (wchar_t c : text)
        if (!writable_in(code_page, std::wstring(1, c))) return win32::narrow(std::wstring(1, c));
    return "?";
}

// The one road by which a file is (re)written: the bytes go whole into a
// temporary file beside the target (same folder, so the same volume), every
// write is checked, the data is flushed to the disk, and one move replaces the
// target. Until that move the old file is untouched; any failure removes the
// temporary file and leaves it so.
void replace_whole_file(const std::string& path, const std::string& bytes) {
    const auto fail = [&](const std::string& reason) { throw PlatformError("write file", path, reason); };
    if (path.empty()) fail(win32::system_message(ERROR_PATH_NOT_FOUND));
    const std::wstring target = win32::widen(path);
    const std::wstring temporary = target + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) fail(win32::last_error_message());
    const auto abandon = [&](const std::string& reason) {
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        DeleteFileW(temporary.c_str());
        fail(reason);
    };
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr)) abandon(win32::last_error_message());
        if (written == 0) abandon(win32::system_message(ERROR_WRITE_FAULT));
        done += written;
    }
    if (!FlushFileBuffers(file)) abandon(win32::last_error_message());
    const BOOL closed = CloseHandle(file);
    file = INVALID_HANDLE_VALUE;
    if (!closed) abandon(win32::last_error_message());
    if (!MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        abandon(win32::last_error_message());
}

}  // namespace

Win32TextFiles::Win32TextFiles(unsigned ansi_code_page, unsigned oem_code_page)
    : ansi_(ansi_code_page == CP_ACP ? GetACP() : ansi_code_page),
      oem_(oem_code_page == CP_OEMCP ? GetOEMCP() : oem_code_page) {}

std::wstring Win32TextFiles::shorten_paths(const std::wstring& line,
                                           const std::function<std::wstring(const std::wstring&, bool)>& shorten) {
    std::wstring out;
    bool first_word = true;
    bool program_seen = false;
    const auto path = [&](const std::wstring& p) {
        if (p.empty()) return p;
        const bool program = !program_seen;
        program_seen = true;
        return shorten(p, program);
    };
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == L' ' || line[i] == L'\t') {
            out += line[i++];
            continue;
        }
        if (line[i] == L'"') {
            const auto close = line.find(L'"', i + 1);
            const size_t end = close == std::wstring::npos ? line.size() : close;
            out += L'"';
            out += path(line.substr(i + 1, end - i - 1));
            if (close != std::wstring::npos) out += L'"';
            i = close == std::wstring::npos ? line.size() : close + 1;
            first_word = false;
            continue;
        }
        size_t end = i;
        while (end < line.size() && line[end] != L' ' && line[end] != L'\t' && line[end] != L'"') ++end;
        const std::wstring word = line.substr(i, end - i);
        i = end;
        if (first_word && is_call(word)) {
            out += word;
            first_word = false;
            continue;
        }
        first_word = false;
        const size_t start = path_start(word);
        out += word.substr(0, start);
        out += path(word.substr(start));
    }
    return out;
}

std::wstring Win32TextFiles::shorten_components(const std::wstring& path,
                                                const std::function<bool(const std::wstring&)>& writable,
                                                bool keep_file_name) {
    std::wstring out;
    size_t start = 0;
    for (;;) {
        const size_t cut = path.find_first_of(L"\\/", start);
        const bool last = cut == std::wstring::npos;
        const size_t end = last ? path.size() : cut;
        std::wstring component = path.substr(start, end - start);
        if (!component.empty() && !(last && keep_file_name) && !writable(component)) {
            // The system's short name of this component is the last one of
            // the short form of the path up to it.
            const std::wstring prefix = path.substr(0, end);
            const DWORD needed = GetShortPathNameW(prefix.c_str(), nullptr, 0);
            if (needed > 0) {
                std::wstring buffer(needed, L'\0');
                const DWORD n = GetShortPathNameW(prefix.c_str(), buffer.data(), needed);
                if (n > 0 && n < needed) {
                    buffer.resize(n);
                    component = file_name_of(buffer);
                }
            }
        }
        out += component;
        if (last) return out;
        out += path[cut];
        start = cut + 1;
    }
}

std::string Win32TextFiles::encoded_line(const std::string& path, const std::string& line) const {
    std::wstring text = win32::widen(line);
    const bool batch = is_batch_file_path(path);
    const unsigned code_page = batch ? oem_ : ansi_;
    const std::string page_name = (batch ? "OEM code page " : "ANSI code page ") + std::to_string(code_page);
    if (batch) {
        const auto writable = [code_page](const std::wstring& s) { return writable_in(code_page, s); };
        text = shorten_paths(text, [&](const std::wstring& p, bool program) {
            if (program && !writable(file_name_of(p)))
                throw PlatformError("write file", path,
                                    "the client's file name \"" + win32::narrow(file_name_of(p)) +
                                        "\" cannot be written in the " + page_name +
                                        " (a short name would hide the running client from the process watcher)");
            return shorten_components(p, writable, program);
        });
    }
    std::string bytes;
    if (!win32::encode(text, code_page, bytes))
        throw PlatformError("write file", path,
                            "the character \"" + first_unwritable(text, code_page) + "\" has no equivalent in the " +
                                page_name + (batch ? " and its folder no short name" : ""));
    return bytes + "\r\n";
}

void Win32TextFiles::write_line(const std::string& path, const std::string& line) {
    replace_whole_file(path, encoded_line(path, line));
}

void Win32TextFiles::write_whole(const std::string& path, const std::string& bytes) {
    replace_whole_file(path, bytes);
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
    return win32::narrow(win32::decode(bytes, ansi_));
}

namespace {

bool is_separator(char c) { return c == '\\' || c == '/'; }

std::wstring full_path(const std::wstring& path) {
    const DWORD need = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (need == 0) return path;
    std::wstring full(need, L'\0');
    const DWORD got = GetFullPathNameW(path.c_str(), need, full.data(), nullptr);
    if (got == 0 || got >= need) return path;
    full.resize(got);
    return full;
}

// The file's identity, when it exists: opened for no access at all, so a file
// another program holds open (the error log, a log being written) still answers.
bool file_identity(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
    HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const BOOL ok = GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    return ok != 0;
}

}  // namespace

bool Win32TextFiles::is_absolute(const std::string& path) const {
    const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (path.size() >= 3 && letter(path[0]) && path[1] == ':' && is_separator(path[2])) return true;
    return path.size() >= 3 && is_separator(path[0]) && is_separator(path[1]) && !is_separator(path[2]);
}

bool Win32TextFiles::same_file(const std::string& a, const std::string& b) const {
    const std::wstring wa = win32::widen(a), wb = win32::widen(b);
    BY_HANDLE_FILE_INFORMATION ia{}, ib{};
    if (file_identity(wa, ia) && file_identity(wb, ib))
        return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
               ia.nFileIndexLow == ib.nFileIndexLow;
    const std::wstring fa = full_path(wa), fb = full_path(wb);
    return CompareStringOrdinal(fa.c_str(), static_cast<int>(fa.size()), fb.c_str(), static_cast<int>(fb.size()),
                                TRUE) == CSTR_EQUAL;
}

}  // namespace vqd
