// Failures inside handlers on Linux: one time-stamped line each, appended to
// $XDG_CONFIG_HOME/VQ-DAZ-ER/<section>-errors.log (beside the settings file of
// the running configuration) and written to standard error.
#pragma once

#include "platform/error_log.h"
#include "platform/executable_name.h"

#include <string>
#include <utility>

namespace vqd {

class PosixErrorLog final : public ErrorLog {
public:
    explicit PosixErrorLog(const ExecutableName& executable, std::string application = "VQ-DAZ-ER")
        : executable_(executable), application_(std::move(application)) {}
    // Never throws: the error path must not fail in turn. A log that cannot be
    // written is mentioned on standard error.
    void record(const std::string& message) override;
    std::string location() const override;
    // The error log and the settings file beside it.
    std::vector<std::pair<std::string, std::string>> own_files() const override;

private:
    const ExecutableName& executable_;
    std::string application_;
};

}  // namespace vqd
