// Per-user settings: text values addressed by (application, section, key).
#pragma once

#include <string>

namespace vqd {

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // The stored text, or `fallback` when the key or the whole section is absent.
    virtual std::string get(const std::string& application, const std::string& section,
                            const std::string& key, const std::string& fallback) = 0;
    // One independent write; creates the section and key when absent. Throws
    // PlatformError when the value cannot be stored.
    virtual void save(const std::string& application, const std::string& section,
                      const std::string& key, const std::string& value) = 0;
};

}  // namespace vqd
