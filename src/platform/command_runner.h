// Start a command line as a separate process and return at once.
#pragma once

#include "model/plain_text.h"

#include <string>
#include <string_view>

namespace vqd {

// Whether a path ends in ".BAT" or ".CMD", in any letter case: a command line
// naming such a file runs through the command interpreter.
inline bool is_batch_file_path(std::string_view path) {
    if (path.size() < 4) return false;
    std::string ext(path.substr(path.size() - 4));
    for (char& c : ext) c = ascii_lower(c);
    return ext == ".bat" || ext == ".cmd";
}

enum class WindowStyle { Hidden = 0, NormalWithFocus = 1 };

class CommandRunner {
public:
    virtual ~CommandRunner() = default;
    // A line naming a batch file (".BAT" or ".CMD") runs through the platform's
    // command interpreter. Never waits for the process. Throws PlatformError when
    // the process cannot be started (an empty line, a batch file that does not exist).
    virtual void run(const std::string& command_line, WindowStyle style) = 0;
};

}  // namespace vqd
