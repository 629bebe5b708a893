// Starting with the user's session on Windows: a value named after the
// configuration's section under HKCU\...\CurrentVersion\Run whose data is the
// program's quoted path. The start-up list in the Task Manager and Settings
// keeps the user's "disabled" beside it under Explorer\StartupApproved\Run.
#pragma once

#include "platform/desktop.h"

#include <string>

namespace vqd {

class Win32StartAtLogin final : public StartAtLogin {
public:
    // section: the value's name; program_path: the full path of the module.
    Win32StartAtLogin(std::wstring section, std::wstring program_path);

    // On when the Run value exists and its StartupApproved entry is absent or
    // says enabled (an even first byte).
    bool enabled() const override;
    // On: writes the Run value and marks the name enabled in StartupApproved.
    // Off: removes exactly that value and its StartupApproved entry.
    void set_enabled(bool on) override;

    // The Run value's data: the path in double quotes.
    std::wstring run_data() const;

private:
    std::wstring section_, program_;
};

}  // namespace vqd
