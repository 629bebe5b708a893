// Where a window is shown, given the screens there are now.
//
// A stored position may lie where no screen is any more (a monitor removed, a
// resolution lowered, a settings file from another machine). Such a window is
// shown on the screen nearest to it, wholly inside that screen; a window with
// any part on a screen is shown exactly where it was asked to be. Only the
// shown position changes: the window model keeps its Left and Top, so the
// stored position changes only when the user moves the window.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vqd {

struct PixelRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const PixelRect&) const = default;
};

// The window's outer rectangle where it can be seen. `screens` are the
// screens' usable areas; with none, the window stays as asked.
PixelRect place_on_screens(PixelRect window, std::span<const PixelRect> screens);

struct PixelPoint {
    int x = 0, y = 0;
    bool operator==(const PixelPoint&) const = default;
};

// Tells a move the user made from the window system's own placement of a
// shown window.
//
// Once the program shows a window at a position, the window manager frames it
// and may move it, and the toolkit reports each step, some of them passing
// (under openbox: the frame's size taken off once too often, then put back)
// and, on a busy machine, late. None of that is the user's doing, and a
// stored position must not change for it. So only where the window stands
// counts, never how it got there:
//  - where the program put it, and wherever the window system reported it
//    within kPlacementMs of the showing, is the window's placement;
//  - a report at a placement means the window has not been moved (a move
//    there and back again counts as none); a report anywhere else is the
//    user's move to that position.
class MoveJudge {
public:
    static constexpr std::int64_t kPlacementMs = 1500;

    // The program shows (or puts) the window at `at`, at time `now_ms`.
    void shown(PixelPoint at, std::int64_t now_ms);
    // The window system reports the window at `at`: the position the user
    // moved it to, or nothing when it stands at a placement.
    std::optional<PixelPoint> reported(PixelPoint at, std::int64_t now_ms);

private:
    std::vector<PixelPoint> placements_;
    std::int64_t placement_ends_ = 0;
};

}  // namespace vqd
