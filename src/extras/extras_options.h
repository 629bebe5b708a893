// The additions' own settings. They live in the same store and section as the
// program's other keys; every name holds a dot, which no control name can, so
// none can ever clash with a key a window stores under its control's name.
#pragma once

#include "platform/settings_store.h"
#include "platform/text_files.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vqd {

inline constexpr std::string_view kTrayIconOffKey = "Extras.TrayIconOff";
inline constexpr std::string_view kHealthCuesKey = "Extras.HealthCues";
inline constexpr std::string_view kStaleMinutesKey = "Extras.StaleMinutes";
inline constexpr std::string_view kMetricsFileKey = "Extras.MetricsFile";
inline constexpr std::string_view kMetricsPathKey = "Extras.MetricsPath";
inline constexpr std::string_view kStartAtLoginKey = "Extras.StartAtLogin";

inline constexpr int kMaxStaleMinutes = 10080;  // a week

// Every addition is off until the user turns it on; the tray icon is the one
// that shows unless told not to.
struct ExtrasOptions {
    bool tray_icon_off = false;
    bool health_cues = false;
    int stale_minutes = 30;
    bool metrics_file = false;
    std::string metrics_path;
    // As last saved; the session's start-up list is the real state.
    bool start_at_login = false;
    friend bool operator==(const ExtrasOptions&, const ExtrasOptions&) = default;
};

// Whole minutes from 1 to a week; anything else is not a valid stale time.
std::optional<int> parse_stale_minutes(std::string_view text);

// A file the program writes or keeps for another purpose: what it is, and its path.
struct FileInUse {
    std::string what;
    std::string path;
};

// Why the metrics file cannot be written at `path`, or nothing when it can:
// the path must be a full one, as the platform has it, and must not name any
// file of `in_use` (compared as the platform would open them; empty paths are
// not in use).
std::optional<std::string> metrics_path_refusal(const std::string& path, const TextFiles& files,
                                                const std::vector<FileInUse>& in_use);

}  // namespace vqd
