#include "extras/health.h"

#include "model/plain_text.h"

#include <algorithm>
#include <charconv>

namespace vqd {

std::optional<long long> parse_count(std::string_view log) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!log.empty() && blank(log.front())) log.remove_prefix(1);
    while (!log.empty() && blank(log.back())) log.remove_suffix(1);
    if (log.empty() || !std::all_of(log.begin(), log.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    long long v = 0;
    auto [end, ec] = std::from_chars(log.data(), log.data() + log.size(), v);
    if (ec != std::errc() || end != log.data() + log.size()) return std::nullopt;
    return v;
}

Cues evaluate_cues(const NodeState& node, std::int64_t now, int stale_minutes) {
    Cues cues;
    if (node.loop_running && node.loop_started_at) {
        const std::int64_t since = std::max(*node.loop_started_at, node.block_changed_at.value_or(0));
        cues.stale_tip = now - since >= std::int64_t(stale_minutes) * 60000;
    }
    if (node.peers_read_at) cues.no_peers = parse_count(node.peers) == 0LL;
    cues.silent_client = node.block_silent || node.peers_silent;
    return cues;
}

std::string age_text(std::int64_t ms) {
    const std::int64_t s = std::max<std::int64_t>(ms, 0) / 1000;
    if (s < 60) return std::to_string(s) + " s";
    if (s < 3600) return std::to_string(s / 60) + " min";
    return std::to_string(s / 3600) + " h " + std::to_string(s % 3600 / 60) + " min";
}

namespace {
std::string count_line(std::string_view what, const std::string& text, const std::optional<std::int64_t>& at,
                       std::int64_t now) {
    std::string line(what);
    if (!at) return line + " not read yet";
    const auto n = parse_count(text);
    line += ' ';
    line += n ? std::to_string(*n) : std::string("?");
    return line + ", " + age_text(now - *at) + " ago";
}

// A whole number in the C format, whatever the user's locale.
std::string integer_text(long long v) {
    char buf[24];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, ec == std::errc{} ? end : buf);
}

// Whole milliseconds as seconds: "12", "8.008", "0.5". Counted in integers,
// so the text is exact and never carries a rounding tail or the locale's comma.
std::string seconds_text(std::int64_t ms) {
    ms = std::max<std::int64_t>(ms, 0);
    std::string out = integer_text(ms / 1000);
    int frac = int(ms % 1000);
    if (frac == 0) return out;
    char digits[3] = {char('0' + frac / 100), char('0' + frac / 10 % 10), char('0' + frac % 10)};
    int n = 3;
    while (digits[n - 1] == '0') --n;
    out += '.';
    out.append(digits, digits + n);
    return out;
}

// A label value: valid UTF-8 (a reader rejects the whole file otherwise),
// with backslash, double quote and line feed escaped.
std::string escape_label(std::string_view v) {
    std::string out;
    while (!v.empty()) {
        const int n = utf8_sequence(v);
        if (n < 0) {
            out += "\xEF\xBF\xBD";  // U+FFFD REPLACEMENT CHARACTER
            v.remove_prefix(std::size_t(-n));
            continue;
        }
        const char c = v.front();
        if (c == '\\') out += "\\\\";
        else if (c == '"') out += "\\\"";
        else if (c == '\n') out += "\\n";
        else out.append(v.data(), std::size_t(n));
        v.remove_prefix(std::size_t(n));
    }
    return out;
}

struct MetricsWriter {
    std::string out;
    std::string label;
    void family(std::string_view name, std::string_view help) {
        out += "# HELP vqdazer_";
        out += name;
        out += ' ';
        out += help;
        out += "\n# TYPE vqdazer_";
        out += name;
        out += " gauge\n";
    }
    void sample(std::string_view name, std::string_view extra_labels, const std::string& value) {
        out += "vqdazer_";
        out += name;
        out += "{" + label;
        out += extra_labels;
        out += "} ";
        out += value;
        out += '\n';
    }
};
}  // namespace

std::string tooltip_text(std::string_view section, const NodeState& node, const Cues& cues, bool cues_on,
                         std::int64_t now) {
    std::string t(section);
    t += '\n' + count_line("Block", node.block, node.block_read_at, now);
    t += '\n' + count_line("Peers", node.peers, node.peers_read_at, now);
    t += !node.client_running ? "\nClient not watched yet"
                              : (*node.client_running ? "\nClient running" : "\nClient not running");
    if (cues_on && cues.any()) {
        std::string flags;
        if (cues.stale_tip) flags += " STALE TIP";
        if (cues.no_peers) flags += " NO PEERS";
        if (cues.silent_client) flags += " SILENT CLIENT";
        t += "\n!" + flags;
    }
    return t;
}

std::string metrics_text(std::string_view section, const NodeState& node, const Cues& cues, bool cues_on,
                         std::int64_t now) {
    MetricsWriter w;
    w.label = "section=\"" + escape_label(section) + "\"";
    const auto block = parse_count(node.block);
    const auto peers = parse_count(node.peers);
    w.family("blocks", "Block count the node's client last reported.");
    if (node.block_read_at && block) w.sample("blocks", "", integer_text(*block));
    w.family("blocks_age_seconds", "Seconds from the last block count read to the writing of this file.");
    if (node.block_read_at) w.sample("blocks_age_seconds", "", seconds_text(now - *node.block_read_at));
    w.family("connections", "Connection count the node's client last reported.");
    if (node.peers_read_at && peers) w.sample("connections", "", integer_text(*peers));
    w.family("connections_age_seconds", "Seconds from the last connection count read to the writing of this file.");
    if (node.peers_read_at) w.sample("connections_age_seconds", "", seconds_text(now - *node.peers_read_at));
    w.family("client_running", "1 while the node's command-line client process runs, 0 when it does not.");
    if (node.client_running) w.sample("client_running", "", *node.client_running ? "1" : "0");
    w.family("poll_loop_running", "1 while the 60-second poll loop runs.");
    w.sample("poll_loop_running", "", node.loop_running ? "1" : "0");
    if (cues_on) {
        w.family("health_cue", "1 while a health cue is raised.");
        w.sample("health_cue", ",cue=\"stale_tip\"", cues.stale_tip ? "1" : "0");
        w.sample("health_cue", ",cue=\"no_peers\"", cues.no_peers ? "1" : "0");
        w.sample("health_cue", ",cue=\"silent_client\"", cues.silent_client ? "1" : "0");
    }
    return w.out;
}

}  // namespace vqd
