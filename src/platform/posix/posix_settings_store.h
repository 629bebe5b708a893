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
    std::string get(const std::string& application, const std::string& section, const std::string& key,
                    const std::string& fallback) override;
    // Written to disk before it returns; the file's lock and atomic replace keep
    // another copy's keys when two copies save at once.
    void save(const std::string& application, const std::string& section, const std::string& key,
              const std::string& value) override;

    static std::string file_path(const std::string& application, const std::string& section);
};

}  // namespace vqd
