// The running module's file name without its extension ("VQ-DAZ-ER" for
// C:\Tools\VQ-DAZ-ER.exe): a renamed copy has a configuration of its own.
#pragma once

#include "platform/executable_name.h"

#include <string>

namespace vqd {

class Win32ExecutableName final : public ExecutableName {
public:
    std::string name() const override;
    // The running module's full path.
    static std::string module_path();
    // The file name of `path` without folder and extension.
    static std::string base_name(const std::string& path);
};

}  // namespace vqd
