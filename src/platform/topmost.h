// Keeping a window above the others.
#pragma once

#include <cstdint>

namespace vqd {

class Topmost {
public:
    virtual ~Topmost() = default;
    // The window that has the user's focus, 0 when there is none.
    virtual std::uintptr_t foreground_window() = 0;
    // Change only the topmost attribute of `window`.
    virtual void set_topmost(std::uintptr_t window, bool topmost) = 0;
};

}  // namespace vqd
