#include "extras/extras_options.h"

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
