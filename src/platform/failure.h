// The one error type of the platform services. A service that fails throws it;
// the handler that called the service ends at that step, and the scheduler hands
// the failure to the window's error path.
#pragma once

#include <stdexcept>
#include <string>

namespace vqd {

class PlatformError : public std::runtime_error {
public:
    // what: the operation ("run command", "read file"); subject: the path or
    // command it was given; reason: the system's own words.
    PlatformError(std::string what, std::string subject, std::string reason)
        : std::runtime_error(what + " \"" + subject + "\": " + reason),
          what_(std::move(what)), subject_(std::move(subject)), reason_(std::move(reason)) {}

    const std::string& operation() const { return what_; }
    const std::string& subject() const { return subject_; }
    const std::string& reason() const { return reason_; }

private:
    std::string what_, subject_, reason_;
};

}  // namespace vqd
