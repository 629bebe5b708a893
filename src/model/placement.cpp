#include "model/placement.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace vqd {

namespace {

constexpr std::size_t kMostPlacementSteps = 8;

bool overlaps(const PixelRect& a, const PixelRect& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

// Squared gap between two rectangles that do not overlap.
std::int64_t gap(const PixelRect& a, const PixelRect& b) {
    const std::int64_t dx = std::max<std::int64_t>({0, std::int64_t{b.x} - (std::int64_t{a.x} + a.width),
                                                    std::int64_t{a.x} - (std::int64_t{b.x} + b.width)});
    const std::int64_t dy = std::max<std::int64_t>({0, std::int64_t{b.y} - (std::int64_t{a.y} + a.height),
                                                    std::int64_t{a.y} - (std::int64_t{b.y} + b.height)});
    return dx * dx + dy * dy;
}

// Along one axis: inside [lo, lo + room); a window larger than the room keeps
// its start (title bar, left edge) in view.
int fit(int start, int size, int lo, int room) {
    if (size >= room) return lo;
    return std::clamp(start, lo, lo + room - size);
}

}  // namespace

PixelRect place_on_screens(PixelRect window, std::span<const PixelRect> screens) {
    if (screens.empty()) return window;
    for (const auto& s : screens)
        if (overlaps(window, s)) return window;
    const PixelRect* nearest = nullptr;
    std::int64_t best = std::numeric_limits<std::int64_t>::max();
    for (const auto& s : screens) {
        const auto g = gap(window, s);
        if (g < best) {
            best = g;
            nearest = &s;
        }
    }
    window.x = fit(window.x, window.width, nearest->x, nearest->width);
    window.y = fit(window.y, window.height, nearest->y, nearest->height);
    return window;
}

void MoveJudge::shown(PixelPoint at, std::int64_t now_ms) {
    placements_.assign(1, at);
    placement_ends_ = now_ms + kPlacementMs;
}

std::optional<PixelPoint> MoveJudge::reported(PixelPoint at, std::int64_t now_ms) {
    const bool placed = std::find(placements_.begin(), placements_.end(), at) != placements_.end();
    if (placed) return std::nullopt;
    // A window manager settles within a handful of steps; a longer stream
    // inside the placement time is the user dragging already.
    if (now_ms < placement_ends_ && placements_.size() < kMostPlacementSteps) {
        placements_.push_back(at);
        return std::nullopt;
    }
    return at;
}

}  // namespace vqd
