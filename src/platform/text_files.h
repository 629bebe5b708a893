// Text files in the platform's 8-bit encoding. Texts in the program are UTF-8;
// each platform converts at this boundary.
#pragma once

#include <string>

namespace vqd {

class TextFiles {
public:
    virtual ~TextFiles() = default;
    // Replace `path` with `line` followed by the platform's line end, whole or
    // not at all, as write_whole does.
    virtual void write_line(const std::string& path, const std::string& line) = 0;
    // Replace `path` with exactly `bytes`, whole or not at all: the bytes go to
    // a temporary file in the same folder, which replaces `path` only once all
    // of it reached the disk. On failure the previous file is left as it was
    // and PlatformError is thrown.
    virtual void write_whole(const std::string& path, const std::string& bytes) = 0;
    // The whole file as it is on disk, every byte one character. Throws
    // PlatformError when it cannot be opened or read, or when it is longer than
    // 32,767 bytes (the reader's length is a signed 16-bit count).
    virtual std::string read_whole(const std::string& path) = 0;

    // Whether `path` names a file without reference to a working folder: on
    // Linux it starts with "/", on Windows with a drive (C:\ or C:/) or a share
    // (\\server\share).
    virtual bool is_absolute(const std::string& path) const = 0;
    // Whether the two paths name the same file as the system would open it:
    // the same file when both exist (through links, "..", doubled separators,
    // letter case where the system ignores it), else the same full path.
    virtual bool same_file(const std::string& a, const std::string& b) const = 0;
};

}  // namespace vqd
