#include "extras/announcements.h"

#include <algorithm>

namespace vqd {

namespace {

struct CueWords {
    const char* kind;
    bool Cues::*flag;
    const char* name;        // the summary while raised
    const char* recovered;   // the body once cleared
};

constexpr CueWords kWords[] = {
    {"stale_tip", &Cues::stale_tip, "Stale tip", "Tip moving again: a new block count arrived"},
    {"no_peers", &Cues::no_peers, "No peers", "Peers back: the node has connections"},
    {"silent_client", &Cues::silent_client, "Silent client", "Client answering again: the polls read numbers"},
};

std::string raised_body(const Cues& flag_only, int stale_minutes) {
    if (flag_only.stale_tip) return "No new block for " + std::to_string(stale_minutes) + " min";
    if (flag_only.no_peers) return "The node reports 0 connections";
    return "A poll read an empty or non-numeric log";
}

std::string count_of(std::int64_t n, const char* unit) {
    return std::to_string(n) + ' ' + unit + (n == 1 ? "" : "s");
}

}  // namespace

std::string duration_text(std::int64_t ms) {
    const std::int64_t minutes = std::max<std::int64_t>(ms, 0) / 60000;
    if (minutes < 60) return count_of(minutes, "minute");
    const std::string hours = count_of(minutes / 60, "hour");
    return minutes % 60 == 0 ? hours : hours + ' ' + count_of(minutes % 60, "minute");
}

std::vector<Announcement> Announcer::update(const Cues& cues, std::int64_t now, int stale_minutes) {
    std::vector<Announcement> out;
    for (std::size_t i = 0; i < tracks_.size(); ++i) {
        const CueWords& w = kWords[i];
        Track& t = tracks_[i];
        const bool on = cues.*w.flag;
        if (on && !t.raised) {
            // A cue back before its recovery was told goes on as the same episode.
            if (!t.since) t.since = now;
        } else if (!on && t.raised) {
            t.cleared_at = now;
            // Never told, so never to be recovered from.
            if (!t.announced_raised) t.since.reset();
        }
        t.raised = on;

        const bool may_send = !t.last_sent || now - *t.last_sent >= kAnnounceHoldMs;
        if (!may_send) continue;
        if (t.raised && !t.announced_raised && now - *t.since >= kAnnounceHoldMs) {
            Cues flag_only;
            flag_only.*w.flag = true;
            out.push_back({w.kind, w.name, raised_body(flag_only, stale_minutes)});
            t.announced_raised = true;
            t.last_sent = now;
        } else if (!t.raised && t.announced_raised) {
            out.push_back({w.kind, std::string(w.name) + ": recovered after " + duration_text(*t.cleared_at - *t.since),
                           w.recovered});
            t.announced_raised = false;
            t.since.reset();
            t.last_sent = now;
        }
    }
    return out;
}

void Announcer::reset() { tracks_ = {}; }

}  // namespace vqd
