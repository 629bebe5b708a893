// Text at the Windows boundary: the program holds UTF-8, the system speaks
// UTF-16, and files on disk hold one of the two 8-bit code pages.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vqd::win32 {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

// UTF-16 to bytes of `code_page` (CP_ACP, CP_OEMCP, 1252, 850, 65001, ...).
// Returns false, leaving `out` unspecified, when a character has no equivalent
// in that code page (for UTF-8: only a broken surrogate pair).
bool encode(std::wstring_view text, unsigned code_page, std::string& out);
// Bytes of `code_page` to UTF-16: every byte one character, none refused.
std::wstring decode(std::string_view bytes, unsigned code_page);

// The system's own words for an error code (FormatMessage), without the line end.
std::string system_message(std::uint32_t code);
// The system's words for GetLastError(), read at once.
std::string last_error_message();

}  // namespace vqd::win32
