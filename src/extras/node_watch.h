// Follows the main window's change stream and keeps a NodeState of it, so the
// additions learn what the polls and the process watcher found without the
// main window knowing they exist.
//
// A poll's read is the moment its count box leaves yellow: the handler turns
// the box yellow, reads the log into it, then gives it its next colour. The
// box's text may not change (the same count twice announces nothing), which is
// why the colour marks the read. A read that fails leaves the box yellow and
// the error path disarms the poll's timer: that counts as a silent client.
#pragma once

#include "extras/health.h"
#include "model/window.h"

#include <cstdint>
#include <functional>

namespace vqd {

class NodeWatch {
public:
    explicit NodeWatch(Window& main);
    ~NodeWatch();
    NodeWatch(const NodeWatch&) = delete;
    NodeWatch& operator=(const NodeWatch&) = delete;

    const NodeState& state() const { return state_; }
    // Grows by one with every change to the state.
    std::uint64_t revision() const { return revision_; }
    // Told after every change to the state.
    std::function<void()> on_change;

private:
    struct Poll {
        Control* box;
        Control* timer;
        bool block;
        bool reading = false;
    };
    void changed(const Change& change);
    void read_done(Poll& poll, bool failed);
    void bump();

    Window& main_;
    int observer_;
    Poll polls_[2];
    Control* loop_;
    Control* watcher_label_;
    NodeState state_;
    std::uint64_t revision_ = 0;
};

}  // namespace vqd
