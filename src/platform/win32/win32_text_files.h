// Text files as bytes of an 8-bit code page, lines ended by CR LF, read and
// written through CreateFileW so that no C runtime text mode touches a byte.
//
// Encoding. The program's texts are Unicode; files hold 8-bit code pages:
//  * Ordinary files (the external file) are written in the ANSI code page, and
//    files read (the logs) are taken as ANSI, every byte one character.
//  * Batch files (".BAT", ".CMD") are read by the command interpreter in the
//    console's code page (OEM: 437, 850, ...), not in ANSI: an "é" written in
//    ANSI names another file when the interpreter reads it. So every path in a
//    batch line that holds a character outside ASCII is replaced by its 8.3
//    short form (ASCII wherever the volume keeps short names); a path with no
//    short form yet is shortened as far as its folders exist. What is still
//    outside ASCII is written in the OEM code page.
//  * A character the target code page cannot hold is refused with a
//    PlatformError: writing "?" in its place would name another file.
#pragma once

#include "platform/text_files.h"

#include <functional>
#include <string>

namespace vqd {

class Win32TextFiles final : public TextFiles {
public:
    void write_line(const std::string& path, const std::string& line) override;
    void write_whole(const std::string& path, const std::string& bytes) override;
    std::string read_whole(const std::string& path) override;

    // The bytes write_line puts into `path` for `line`, line end included.
    // Throws PlatformError when a character cannot be written.
    static std::string encoded_line(const std::string& path, const std::string& line);

    // A batch line with every path that holds a character outside ASCII passed
    // through `shorten`. A path is a double-quoted run, or a blank-delimited
    // word with a redirection sign (">", ">>", "<") or an option name ("-conf=")
    // taken off its front.
    static std::wstring shorten_paths(const std::wstring& line,
                                      const std::function<std::wstring(const std::wstring&)>& shorten);
    // The 8.3 form of `path`: of the whole path when it exists, else of its
    // longest existing folder with the rest appended; `path` itself when the
    // system has no short form.
    static std::wstring short_form(const std::wstring& path);
};

}  // namespace vqd
