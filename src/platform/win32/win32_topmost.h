// The always-on-top attribute through user32: GetForegroundWindow, and
// SetWindowPos with HWND_TOPMOST / HWND_NOTOPMOST and SWP_NOSIZE | SWP_NOMOVE,
// so that nothing but that attribute changes. Results are not inspected.
//
// A window lifted while a modal window of its own is open (it lies disabled
// behind it) never covers that modal window: the modal window is lifted after
// it.
#pragma once

#include "platform/topmost.h"

namespace vqd {

class Win32Topmost final : public Topmost {
public:
    std::uintptr_t foreground_window() override;
    void set_topmost(std::uintptr_t window, bool topmost) override;
};

}  // namespace vqd
