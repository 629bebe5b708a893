// The always-on-top attribute through user32: GetForegroundWindow, and
// SetWindowPos with HWND_TOPMOST / HWND_NOTOPMOST and SWP_NOSIZE | SWP_NOMOVE,
// so that nothing but that attribute changes. Results are not inspected.
#pragma once

#include "platform/topmost.h"

namespace vqd {

class Win32Topmost final : public Topmost {
public:
    std::uintptr_t foreground_window() override;
    void set_topmost(std::uintptr_t window, bool topmost) override;
};

}  // namespace vqd
