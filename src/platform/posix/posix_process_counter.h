// Counting running processes by image name on Linux. A process counts when
// the name it was started as (its comm: the link's name for a program started
// through a symbolic link, the script's name for a `#!` script) or the file
// name of the program it runs (the target of /proc/PID/exe) is the image name.
// Kernel threads and zombies run no program and never count, whoever asks.
//
// Names compare without regard to letter case the way Windows compares image
// names: each UTF-16 unit mapped to its simple uppercase, with no locale, so
// "TESTI-cli" is "testi-cli" under tr_TR too and "Ärger-cli" is "ärger-cli".
// No shell and no query text are involved, so a name with an apostrophe or a
// blank is just a name.
#pragma once

#include "platform/process_counter.h"

#include <memory>
#include <string>

namespace vqd {

class PosixProcessCounter final : public ProcessCounter {
public:
    PosixProcessCounter();
    ~PosixProcessCounter() override;
    PosixProcessCounter(const PosixProcessCounter&) = delete;
    PosixProcessCounter& operator=(const PosixProcessCounter&) = delete;

    // Throws PlatformError when /proc cannot be read.
    int count(const std::string& image_name) override;

    // Whether a process seen as `seen` may have the image name `wanted`. The
    // kernel keeps only the first 15 bytes of a name in comm, so a 15-byte
    // comm may belong to every wanted name that begins with it; count() then
    // asks the process's command line for the whole name.
    static bool matches(const std::string& wanted, const std::string& seen, bool seen_is_comm);

    // Image names compared as Windows compares them (see above).
    static bool same_name(const std::string& a, const std::string& b);

private:
    // What earlier counts found, process by process (see the source).
    struct Memory;
    std::unique_ptr<Memory> memory_;
};

}  // namespace vqd
