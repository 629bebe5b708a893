// The settings the program keeps, and their conversions.
//
// Every value is text in the store under application "VQ-DAZ-ER" and a section
// named after the running executable (fetched afresh at each access, so a
// renamed copy has a configuration of its own). The 29 keys, their kinds and
// defaults are the table in settings.cpp.
//
// A stored text that does not convert to its kind (empty, not a number, out of
// range, a tick-box value other than 0, 1 or 2) gives the key's default: the
// program goes on as if the key were absent. So does a store that cannot be
// read at all; the first such failure is kept for the window to report, and
// from then on this object refuses to save, so a file it could not read is
// never replaced by defaults.
#pragma once

#include "platform/executable_name.h"
#include "platform/settings_store.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vqd {

inline constexpr std::string_view kApplication = "VQ-DAZ-ER";

enum class SettingKind { TickBox, Coordinate, Text };

struct SettingKey {
    std::string_view name;
    SettingKind kind;
    std::string_view fallback;  // default, as text
};

std::span<const SettingKey> setting_keys();
const SettingKey& setting_key(std::string_view name);  // throws std::out_of_range

// Conversions, exposed for tests.
std::optional<int> parse_tick(std::string_view text);          // 0, 1 or 2
std::optional<float> parse_coordinate(std::string_view text);  // finite single-precision
std::string format_coordinate(float v);                        // shortest text: "1000", "1234.5"

class Settings {
public:
    Settings(SettingsStore& store, const ExecutableName& executable) : store_(store), executable_(executable) {}

    std::string section() const { return executable_.name(); }

    int tick(std::string_view key) const;
    float coordinate(std::string_view key) const;
    std::string text(std::string_view key) const;
    // A key outside the table: the additions' own settings, whose names hold a
    // dot, which no control's name can. Throws std::invalid_argument for a
    // name without one. A read that fails counts as any other failed read.
    std::string extra(std::string_view key, std::string_view fallback) const;

    // Values gathered for one write of the store, in the order they were added.
    class Batch {
    public:
        Batch& tick(std::string_view key, int value);
        Batch& coordinate(std::string_view key, float value);
        Batch& text(std::string_view key, const std::string& value);
        // A key outside the table, as Settings::extra reads it.
        Batch& extra(std::string_view key, const std::string& value);
        const SettingsStore::Values& values() const { return values_; }

    private:
        SettingsStore::Values values_;
    };
    // Every value of the batch in one write, all or none.
    void save(const Batch& batch);

    void save_tick(std::string_view key, int value);
    void save_coordinate(std::string_view key, float value);
    void save_text(std::string_view key, const std::string& value);

    // The first read that failed, as the store reported it; empty when every read worked.
    const std::string& read_failure() const { return read_failure_; }

private:
    std::string raw(std::string_view key, std::string_view fallback) const;
    SettingsStore& store_;
    const ExecutableName& executable_;
    mutable std::string read_failure_;
};

}  // namespace vqd
