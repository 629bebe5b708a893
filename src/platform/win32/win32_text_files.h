// Text files as bytes of an 8-bit code page, lines ended by CR LF, read and
// written through CreateFileW so that no C runtime text mode touches a byte.
//
// Writing. A file is written whole beside the old one (a temporary file in the
// same folder), every write checked, flushed to the disk, and only then moved
// over the old file in one step. A write that fails anywhere leaves the old
// file as it was and throws PlatformError.
//
// Encoding. The program's texts are Unicode; files hold 8-bit code pages,
// whose numbers are given at construction (the system's by default):
//  * Ordinary files (the external file) are written in the ANSI code page, and
//    files read (the logs) are taken as ANSI, every byte one character.
//  * Batch files (".BAT", ".CMD") are read by the command interpreter in the
//    console's code page (OEM: 437, 850, ..., 65001), not in ANSI: an "é"
//    written in ANSI names another file when the interpreter reads it. So
//    every path component of a batch line that the OEM code page cannot hold
//    is replaced by its 8.3 short name (ASCII wherever the volume keeps short
//    names). The client's own file name is never shortened: the process
//    watcher looks for the client by its image name, which stays the long one
//    while the batch file runs it.
//  * A character the target code page cannot hold is refused with a
//    PlatformError: writing "?" in its place would name another file.
#pragma once

#include "platform/text_files.h"

#include <functional>
#include <string>

namespace vqd {

class Win32TextFiles final : public TextFiles {
public:
    // 0 and 1 (CP_ACP, CP_OEMCP) stand for the system's own code pages.
    explicit Win32TextFiles(unsigned ansi_code_page = 0, unsigned oem_code_page = 1);

    void write_line(const std::string& path, const std::string& line) override;
    void write_whole(const std::string& path, const std::string& bytes) override;
    std::string read_whole(const std::string& path) override;
    bool is_absolute(const std::string& path) const override;
    // By volume and file index when both exist, else by full path (the
    // system's own GetFullPathName) without regard to letter case.
    bool same_file(const std::string& a, const std::string& b) const override;

    unsigned ansi_code_page() const { return ansi_; }
    unsigned oem_code_page() const { return oem_; }

    // The bytes write_line puts into `path` for `line`, line end included.
    // Throws PlatformError when a character cannot be written.
    std::string encoded_line(const std::string& path, const std::string& line) const;

    // A batch line with every path in it passed through `shorten`, which is
    // told whether the path is the program the line calls (the first path,
    // after a leading "call"). A path is a double-quoted run, or a
    // blank-delimited word with a redirection sign (">", ">>", "<") or an
    // option name ("-conf=") taken off its front.
    static std::wstring shorten_paths(const std::wstring& line,
                                      const std::function<std::wstring(const std::wstring&, bool)>& shorten);
    // `path` with every component that `writable` refuses replaced by the 8.3
    // short name the system gives it; a component that does not exist (yet),
    // or has no short name, stays as it is. The last component stays as it is
    // when `keep_file_name`.
    static std::wstring shorten_components(const std::wstring& path,
                                           const std::function<bool(const std::wstring&)>& writable,
                                           bool keep_file_name);

private:
    unsigned ansi_;
    unsigned oem_;
};

}  // namespace vqd
