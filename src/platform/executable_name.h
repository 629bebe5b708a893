// The running program's file name without its extension. A renamed copy, or a
// symbolic link under another name, gives another name.
#pragma once

#include <string>

namespace vqd {

class ExecutableName {
public:
    virtual ~ExecutableName() = default;
    virtual std::string name() const = 0;
};

}  // namespace vqd
