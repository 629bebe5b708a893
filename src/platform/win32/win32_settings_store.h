// The settings store in the per-user registry, where the platform's own
// per-user settings functions keep (application, section, key) text:
//   HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<application>\<section>
// one REG_SZ value per key.
#pragma once

#include "platform/settings_store.h"

#include <string>

namespace vqd {

class Win32SettingsStore final : public SettingsStore {
public:
    // An absent key or section gives the fallback; a section key that exists
    // but cannot be opened (access refused, a damaged hive) throws.
    std::string get(const std::string& application, const std::string& section, const std::string& key,
                    const std::string& fallback) override;
    void save(const std::string& application, const std::string& section, const std::string& key,
              const std::string& value) override;
    // The registry has no transaction here, so all-or-none is kept by hand:
    // each value is checked as it is set, and when one fails the values set
    // before it are put back as they were (or removed when they were absent).
    void save_all(const std::string& application, const std::string& section, const Values& values) override;

    // The registry path of a section, below HKEY_CURRENT_USER.
    static std::string section_path(const std::string& application, const std::string& section);
};

}  // namespace vqd
