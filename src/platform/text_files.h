// Text files in the platform's 8-bit encoding. Texts in the program are UTF-8;
// each platform converts at this boundary.
#pragma once

#include <string>

namespace vqd {

class TextFiles {
public:
    virtual ~TextFiles() = default;
    // Create or truncate `path` and write `line` followed by the platform's line end.
    virtual void write_line(const std::string& path, const std::string& line) = 0;
    // The whole file as it is on disk, every byte one character. Throws
    // PlatformError when it cannot be opened or read, or when it is longer than
    // 32,767 bytes (the reader's length is a signed 16-bit count).
    virtual std::string read_whole(const std::string& path) = 0;
};

}  // namespace vqd
