// The running program's name on Linux: the base name it was invoked under
// (argv[0]), without its extension. The invoked name, not /proc/self/exe, so a
// symbolic link under another name is another configuration.
#pragma once

#include "platform/executable_name.h"

#include <string>

namespace vqd {

class PosixExecutableName final : public ExecutableName {
public:
    // invoked_as: argv[0]. When it is empty, the name of /proc/self/exe serves.
    explicit PosixExecutableName(const std::string& invoked_as);
    std::string name() const override { return name_; }

    // "dir/VQ-DAZ-ER.exe" -> "VQ-DAZ-ER"; "a.b.c" -> "a.b"; ".hidden" -> ".hidden".
    static std::string without_extension(const std::string& path);

private:
    std::string name_;
};

}  // namespace vqd
