// Text files on Linux: UTF-8 is the platform's encoding, so bytes pass as they
// are, and a line ends with LF.
#pragma once

#include "platform/text_files.h"

#include <string>

namespace vqd {

class PosixTextFiles final : public TextFiles {
public:
    static constexpr std::size_t kReadLimit = 32767;

    void write_line(const std::string& path, const std::string& line) override;
    void write_whole(const std::string& path, const std::string& bytes) override;
    std::string read_whole(const std::string& path) override;
    bool is_absolute(const std::string& path) const override;
    bool same_file(const std::string& a, const std::string& b) const override;
};

}  // namespace vqd
