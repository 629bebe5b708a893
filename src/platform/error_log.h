// Where failures inside handlers are recorded: a time-stamped line appended to
// the error log file and written to standard error.
#pragma once

#include <string>

namespace vqd {

class ErrorLog {
public:
    virtual ~ErrorLog() = default;
    virtual void record(const std::string& message) = 0;
    // Where the log is kept, for the README and the status strip.
    virtual std::string location() const = 0;
};

}  // namespace vqd
