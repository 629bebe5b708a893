// Per-user settings: text values addressed by (application, section, key).
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace vqd {

class SettingsStore {
public:
    using Values = std::vector<std::pair<std::string, std::string>>;  // key, text

    virtual ~SettingsStore() = default;
    // The stored text, or `fallback` when the key or the whole section is absent.
    // Throws PlatformError when the store exists but cannot be read (then no
    // key of it can be trusted, and the caller decides what to fall back to).
    virtual std::string get(const std::string& application, const std::string& section,
                            const std::string& key, const std::string& fallback) = 0;
    // One key; creates the section and key when absent. Throws PlatformError
    // when the value cannot be stored.
    virtual void save(const std::string& application, const std::string& section,
                      const std::string& key, const std::string& value) = 0;
    // Several keys in one write, all of them or none; every other key of the
    // section stays as it is, also when another copy of the program saved it
    // a moment ago. Throws PlatformError when the values cannot be stored.
    virtual void save_all(const std::string& application, const std::string& section, const Values& values) = 0;
    // What the user should hear about a section that was read but not quite as
    // written: one text per line edited by hand in a way the store read only in
    // part (each names its line). Empty when there is nothing to say, also when
    // the section cannot be read at all (`get` reports that). Never throws.
    virtual std::vector<std::string> read_notes(const std::string& application, const std::string& section) {
        (void)application;
        (void)section;
        return {};
    }
};

}  // namespace vqd
