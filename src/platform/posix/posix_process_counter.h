// Counting running processes by image name on Linux: the base name of the
// program each process runs (the target of /proc/PID/exe), or its /proc/PID/comm
// where we may not read exe (another user's process). Kernel threads and
// zombies run no program and are never counted. Names are
// compared without regard to ASCII letter case; no shell and no query text are
// involved, so a name with an apostrophe or a blank is just a name.
#pragma once

#include "platform/process_counter.h"

#include <string>

namespace vqd {

class PosixProcessCounter final : public ProcessCounter {
public:
    // Throws PlatformError when /proc cannot be read.
    int count(const std::string& image_name) override;

    // Whether a process seen as `seen` has the image name `wanted`. The kernel
    // keeps only the first 15 bytes of a name in comm, so a 15-byte comm
    // matches every wanted name that begins with it.
    static bool matches(const std::string& wanted, const std::string& seen, bool seen_is_comm);
};

}  // namespace vqd
