// The additions' own settings. They live in the same store and section as the
// program's other keys; every name holds a dot, which no control name can, so
// none can ever clash with a key a window stores under its control's name.
#pragma once

#include "platform/settings_store.h"

#include <optional>
#include <string>
#include <string_view>

namespace vqd {

inline constexpr std::string_view kTrayIconOffKey = "Extras.TrayIconOff";
inline constexpr std::string_view kHealthCuesKey = "Extras.HealthCues";
inline constexpr std::string_view kStaleMinutesKey = "Extras.StaleMinutes";
inline constexpr std::string_view kMetricsFileKey = "Extras.MetricsFile";
inline constexpr std::string_view kMetricsPathKey = "Extras.MetricsPath";

inline constexpr int kMaxStaleMinutes = 10080;  // a week

// Every addition is off until the user turns it on; the tray icon is the one
// that shows unless told not to.
struct ExtrasOptions {
    bool tray_icon_off = false;
    bool health_cues = false;
    int stale_minutes = 30;
    bool metrics_file = false;
    std::string metrics_path;
    friend bool operator==(const ExtrasOptions&, const ExtrasOptions&) = default;
};

// Whole minutes from 1 to a week; anything else is not a valid stale time.
std::optional<int> parse_stale_minutes(std::string_view text);

// A stored value that does not convert gives that option's default.
ExtrasOptions load_extras_options(SettingsStore& store, const std::string& section);
// Throws PlatformError from the store; the keys written before stay written.
void save_extras_options(SettingsStore& store, const std::string& section, const ExtrasOptions& options);

}  // namespace vqd
