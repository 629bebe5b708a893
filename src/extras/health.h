// What the additions know about the node, read from the main window as it
// works, and what they make of it: the health cues, the tray tooltip and the
// metrics file's text. Nothing here touches a toolkit, a file or the store.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vqd {

// The node as the main window last saw it. Times are the scheduler's
// milliseconds.
struct NodeState {
    std::string block;  // the block count box's text after its last read
    std::optional<std::int64_t> block_read_at;
    std::optional<std::int64_t> block_changed_at;  // the count last read as a new number
    std::string peers;
    std::optional<std::int64_t> peers_read_at;
    std::optional<bool> client_running;  // nullopt until the watcher first looked
    bool loop_running = false;
    std::optional<std::int64_t> loop_started_at;
    bool block_silent = false;  // the latest block poll found an empty or non-numeric log
    bool peers_silent = false;  // likewise for the connection poll
};

// A count as the client writes it: digits, with blanks and line ends around them.
std::optional<long long> parse_count(std::string_view log);

struct Cues {
    bool stale_tip = false;
    bool no_peers = false;
    bool silent_client = false;
    bool any() const { return stale_tip || no_peers || silent_client; }
    friend bool operator==(const Cues&, const Cues&) = default;
};

inline constexpr int kDefaultStaleMinutes = 30;

// The cues at `now`. Stale tip counts from the later of the loop's start and
// the last new block count, so a loop just started is never stale at once.
Cues evaluate_cues(const NodeState& node, std::int64_t now, int stale_minutes);

// "12 s", "5 min", "3 h 20 min".
std::string age_text(std::int64_t ms);

// The tray icon's tooltip: short enough for the Windows notification area's
// 127 characters with a section name of ordinary length.
std::string tooltip_text(std::string_view section, const NodeState& node, const Cues& cues, bool cues_on,
                         std::int64_t now);

// The metrics file: Prometheus text exposition, every sample labelled with the
// section, ages counted at `now`.
std::string metrics_text(std::string_view section, const NodeState& node, const Cues& cues, bool cues_on,
                         std::int64_t now);

}  // namespace vqd
