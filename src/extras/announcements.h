// What the health cues tell the desktop, and when. Each cue is announced as
// its own kind of notification (so each replaces only its own previous one)
// once it has held for a minute, and again when it clears, with how long it
// lasted. A kind is announced at most once a minute, with the latest state,
// so a flapping count cannot flood the desktop. Pure: the caller passes the
// cues and the scheduler's time on every tick.
#pragma once

#include "extras/health.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vqd {

struct Announcement {
    std::string kind;  // "stale_tip", "no_peers" or "silent_client"
    std::string summary;
    std::string body;
    friend bool operator==(const Announcement&, const Announcement&) = default;
};

// How long a cue must hold before it is announced, and the least time
// between two announcements of one kind.
inline constexpr std::int64_t kAnnounceHoldMs = 60000;

// "1 minute", "12 minutes", "2 hours 5 minutes".
std::string duration_text(std::int64_t ms);

class Announcer {
public:
    // Called on every tick of the monitor with the cues as they are now
    // (health cues on); returns what to announce now (usually nothing).
    std::vector<Announcement> update(const Cues& cues, std::int64_t now_ms, int stale_minutes);
    // The cues were turned off: everything seen so far is forgotten, and a
    // cue still raised when they come back on is a new one.
    void reset();

private:
    struct Track {
        bool raised = false;                        // as last seen
        std::optional<std::int64_t> since;          // when the present episode began (raised, not yet recovered)
        std::optional<std::int64_t> cleared_at;     // when it last went from raised to clear
        bool announced_raised = false;              // the desktop last heard "raised"
        std::optional<std::int64_t> last_sent;      // the last announcement of this kind
    };
    std::array<Track, 3> tracks_{};
};

}  // namespace vqd
