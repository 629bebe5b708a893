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
bool flag(const Settings& settings, std::string_view key) { return settings.extra(key, "0") == "1"; }
}  // namespace

ExtrasOptions load_extras_options(const Settings& settings) {
    ExtrasOptions o;
    o.tray_icon_off = flag(settings, kTrayIconOffKey);
    o.health_cues = flag(settings, kHealthCuesKey);
    o.stale_minutes = parse_stale_minutes(settings.extra(kStaleMinutesKey, "")).value_or(ExtrasOptions{}.stale_minutes);
    o.metrics_file = flag(settings, kMetricsFileKey);
    o.metrics_path = settings.extra(kMetricsPathKey, "");
    return o;
}

void save_extras_options(Settings& settings, const ExtrasOptions& o) {
    Settings::Batch batch;
    batch.extra(kTrayIconOffKey, o.tray_icon_off ? "1" : "0")
        .extra(kHealthCuesKey, o.health_cues ? "1" : "0")
        .extra(kStaleMinutesKey, std::to_string(o.stale_minutes))
        .extra(kMetricsFileKey, o.metrics_file ? "1" : "0")
        .extra(kMetricsPathKey, o.metrics_path);
    settings.save(batch);
}

std::optional<std::string> metrics_path_refusal(const std::string& path, const TextFiles& files,
                                                const std::vector<FileInUse>& in_use) {
    // A relative path would land in whatever folder the program was started
    // from, which the collector never reads.
    if (!files.is_absolute(path))
        return path.empty() ? std::string("the metrics file needs a full path")
                            : "the metrics file needs a full path, not \"" + path + "\"";
    for (const auto& f : in_use)
        if (!f.path.empty() && files.same_file(path, f.path))
            return "the metrics file cannot be \"" + path + "\": that is " + f.what;
    return std::nullopt;
}

}  // namespace vqd
