// Starting with the user's session on Linux: a desktop entry named after the
// configuration's section in $XDG_CONFIG_HOME/autostart (~/.config/autostart
// when unset), which every desktop following the freedesktop autostart rules
// starts at login.
#pragma once

#include "platform/desktop.h"

#include <string>

namespace vqd {

class PosixStartAtLogin final : public StartAtLogin {
public:
    // section: the configuration's name (the entry is "<section>.desktop");
    // program_path: the absolute path the program was started under (see
    // started_program_path), which the entry runs.
    PosixStartAtLogin(std::string section, std::string program_path);

    // On when the entry is a regular file (or a link to one) that runs our
    // program path and the user has not hidden or disabled it.
    bool enabled() const override;
    // Writes the entry whole (creating the folder) or removes it.
    void set_enabled(bool on) override;

    // The entry's path, read from the environment each time.
    std::string entry_path() const;
    // The entry's whole text for this configuration.
    std::string entry_text() const;

    // The Exec value for a program path: quoted by the desktop entry's
    // argument rules, then escaped as a string value ("%" as "%%").
    static std::string exec_value(const std::string& program_path);
    // The program an Exec value runs (its first argument, unquoted); empty
    // when the value is malformed.
    static std::string exec_program(const std::string& value);

private:
    std::string section_, program_;
};

// The program's own path as it was started: argv[0] made absolute without
// resolving links (a renamed copy or a link starts its own section); a bare
// name is looked up in PATH as the shell did, a relative one is taken from the
// folder the program started in. Falls back to /proc/self/exe.
std::string started_program_path(const char* argv0);

}  // namespace vqd
