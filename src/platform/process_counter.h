// How many running processes have a given image name (file name with
// extension), compared without regard to letter case.
#pragma once

#include <string>

namespace vqd {

class ProcessCounter {
public:
    virtual ~ProcessCounter() = default;
    // Throws PlatformError when the process list cannot be read.
    virtual int count(const std::string& image_name) = 0;
};

}  // namespace vqd
