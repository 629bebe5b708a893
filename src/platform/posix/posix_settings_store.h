// The settings store on Linux: one INI file per section,
// $XDG_CONFIG_HOME/<application>/<section>.ini (~/.config when the variable is
// unset or not absolute), keys at the top level of the file.
#pragma once

#include "platform/settings_store.h"

#include <string>

namespace vqd {

// The per-user folder of an application's files: $XDG_CONFIG_HOME/<application>.
// Read afresh at each call, so a test can point it elsewhere.
std::string posix_config_folder(const std::string& application);

class PosixSettingsStore final : public SettingsStore {
public:
    // A file that cannot be read, or that is not INI text, throws: its keys
    // are unknown, not absent.
    std::string get(const std::string& application, const std::string& section, const std::string& key,
                    const std::string& fallback) override;
    void save(const std::string& application, const std::string& section, const std::string& key,
              const std::string& value) override;
    // Under the file's lock: read the file afresh, replace only these keys,
    // write the result whole beside it and rename it over the old one. A file
    // that cannot be read or is not INI text is never replaced.
    void save_all(const std::string& application, const std::string& section, const Values& values) override;
    // "<file>, line N: ..." for each line whose value ran past its line end (an
    // open quote, a backslash at the end): read up to the line end, kept by saves.
    std::vector<std::string> read_notes(const std::string& application, const std::string& section) override;

    static std::string file_path(const std::string& application, const std::string& section);
};

}  // namespace vqd
