// Start a command line as a separate process and return at once.
#pragma once

#include <string>

namespace vqd {

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
