#include "extras/node_watch.h"

namespace vqd {

namespace {
constexpr std::string_view kRunning = "!!! CLI RUNNING !!!";
constexpr std::string_view kNotRunning = "!!! CLI NOT RUNNING !!!";
}  // namespace

NodeWatch::NodeWatch(Window& main)
    : main_(main),
      polls_{{&main["CURRENT_BLOCK_TEXTBOX"], &main["GETBLOCKCOUNT_COMMAND_TIMER"], true},
             {&main["CONNECTIONS_TEXTBOX"], &main["GETCONNECTIONCOUNT_COMMAND_TIMER"], false}},
      loop_(&main["GET_LOOP_TIMER"]),
      watcher_label_(&main["PROCESS_ACTIVE_LABEL"]) {
    // The program may start with the loop already armed by the stored options.
    if (loop_->enabled()) {
        state_.loop_running = true;
        state_.loop_started_at = main.scheduler().now();
    }
    observer_ = main_.observe([this](const Change& c) { changed(c); });
}

NodeWatch::~NodeWatch() { main_.unobserve(observer_); }

void NodeWatch::bump() {
    ++revision_;
    if (on_change) on_change();
}

void NodeWatch::changed(const Change& change) {
    Control* c = change.control;
    if (!c) return;
    for (Poll& poll : polls_) {
        if (c == poll.box && change.prop == Prop::BackColor) {
            const bool yellow = c->back_colour() == colours::yellow;
            if (yellow) poll.reading = true;
            else if (poll.reading) read_done(poll, false);
            return;
        }
        if (c == poll.timer && change.prop == Prop::Enabled && !c->enabled() && poll.reading) {
            read_done(poll, true);
            return;
        }
    }
    if (c == loop_ && change.prop == Prop::Enabled) {
        state_.loop_running = c->enabled();
        if (c->enabled()) state_.loop_started_at = main_.scheduler().now();
        bump();
        return;
    }
    if (c == watcher_label_ && change.prop == Prop::Caption) {
        if (c->caption() == kRunning) state_.client_running = true;
        else if (c->caption() == kNotRunning) state_.client_running = false;
        else return;
        bump();
    }
}

void NodeWatch::read_done(Poll& poll, bool failed) {
    poll.reading = false;
    const std::int64_t now = main_.scheduler().now();
    // A failed read keeps the last count and its age: only the cue learns of it.
    if (failed) {
        (poll.block ? state_.block_silent : state_.peers_silent) = true;
        bump();
        return;
    }
    const std::string& text = poll.box->text();
    const auto count = parse_count(text);
    if (poll.block) {
        if (count && count != parse_count(state_.block)) state_.block_changed_at = now;
        state_.block = text;
        state_.block_read_at = now;
        state_.block_silent = !count;
    } else {
        state_.peers = text;
        state_.peers_read_at = now;
        state_.peers_silent = !count;
    }
    bump();
}

}  // namespace vqd
