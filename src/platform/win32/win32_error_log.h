// The error log: %APPDATA%\VQ-DAZ-ER\<section>-errors.log (UTF-8, CR LF),
// beside the program's other per-user data, one time-stamped line per failure.
// Each line also goes to standard error when the program has one, and to the
// debugger's output (OutputDebugString) when it has none, as a GUI program
// started from the desktop does not.
#pragma once

#include "platform/error_log.h"
#include "platform/executable_name.h"

#include <string>

namespace vqd {

class Win32ErrorLog final : public ErrorLog {
public:
    Win32ErrorLog(const ExecutableName& executable, std::string application = "VQ-DAZ-ER")
        : executable_(executable), application_(std::move(application)) {}
    void record(const std::string& message) override;
    std::string location() const override;

private:
    const ExecutableName& executable_;
    std::string application_;
};

}  // namespace vqd
