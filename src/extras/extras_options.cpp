#include "extras/extras_options.h"

#include "windows/settings.h"

namespace vqd {

std::optional<int> parse_stale_minutes(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (text.empty() || text.size() > 5) return std::nullopt;
    int v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    if (v < 1 || v > kMaxStaleMinutes) return std::nullopt;
    return v;
}

namespace {
bool flag(SettingsStore& store, const std::string& section, std::string_view key) {
    return store.get(std::string(kApplication), section, std::string(key), "0") == "1";
}
}  // namespace

ExtrasOptions load_extras_options(SettingsStore& store, const std::string& section) {
    ExtrasOptions o;
    const std::string app(kApplication);
    o.tray_icon_off = flag(store, section, kTrayIconOffKey);
    o.health_cues = flag(store, section, kHealthCuesKey);
    o.stale_minutes = parse_stale_minutes(store.get(app, section, std::string(kStaleMinutesKey), ""))
                          .value_or(ExtrasOptions{}.stale_minutes);
    o.metrics_file = flag(store, section, kMetricsFileKey);
    o.metrics_path = store.get(app, section, std::string(kMetricsPathKey), "");
    return o;
}

void save_extras_options(SettingsStore& store, const std::string& section, const ExtrasOptions& o) {
    const std::string app(kApplication);
    store.save(app, section, std::string(kTrayIconOffKey), o.tray_icon_off ? "1" : "0");
    store.save(app, section, std::string(kHealthCuesKey), o.health_cues ? "1" : "0");
    store.save(app, section, std::string(kStaleMinutesKey), std::to_string(o.stale_minutes));
    store.save(app, section, std::string(kMetricsFileKey), o.metrics_file ? "1" : "0");
    store.save(app, section, std::string(kMetricsPathKey), o.metrics_path);
}

}  // namespace vqd
