// Where a window is shown, given the screens there are now.
//
// A stored position may lie where no screen is any more (a monitor removed, a
// resolution lowered, a settings file from another machine). Such a window is
// shown on the screen nearest to it, wholly inside that screen; a window with
// any part on a screen is shown exactly where it was asked to be. Only the
// shown position changes: the window model keeps its Left and Top, so the
// stored position changes only when the user moves the window.
#pragma once

#include <span>

namespace vqd {

struct PixelRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const PixelRect&) const = default;
};

// The window's outer rectangle where it can be seen. `screens` are the
// screens' usable areas; with none, the window stays as asked.
PixelRect place_on_screens(PixelRect window, std::span<const PixelRect> screens);

}  // namespace vqd
