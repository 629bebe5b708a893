#include "windows/extras_settings.h"

#include "windows/settings.h"

namespace vqd {

namespace {
bool flag(const Settings& settings, std::string_view key) { return settings.extra(key, "0") == "1"; }
}  // namespace

ExtrasOptions load_extras_options(const Settings& settings) {
    ExtrasOptions o;
    o.tray_icon_off = flag(settings, kTrayIconOffKey);
    o.health_cues = flag(settings, kHealthCuesKey);
    o.stale_minutes = parse_stale_minutes(settings.extra(kStaleMinutesKey, "")).value_or(ExtrasOptions{}.stale_minutes);
    o.metrics_file = flag(settings, kMetricsFileKey);
    o.metrics_path = settings.extra(kMetricsPathKey, "");
    o.start_at_login = flag(settings, kStartAtLoginKey);
    return o;
}

void save_extras_options(Settings& settings, const ExtrasOptions& o) {
    Settings::Batch batch;
    batch.extra(kTrayIconOffKey, o.tray_icon_off ? "1" : "0")
        .extra(kHealthCuesKey, o.health_cues ? "1" : "0")
        .extra(kStaleMinutesKey, std::to_string(o.stale_minutes))
        .extra(kMetricsFileKey, o.metrics_file ? "1" : "0")
        .extra(kMetricsPathKey, o.metrics_path)
        .extra(kStartAtLoginKey, o.start_at_login ? "1" : "0");
    settings.save(batch);
}

}  // namespace vqd
