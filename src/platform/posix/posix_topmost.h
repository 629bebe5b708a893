// Keeping a window on top needs the windowing system, which only a front end
// has; without one there is no foreground window and nothing to raise.
#pragma once

#include "platform/topmost.h"

namespace vqd {

class PosixTopmost final : public Topmost {
public:
    std::uintptr_t foreground_window() override { return 0; }
    void set_topmost(std::uintptr_t, bool) override {}
};

}  // namespace vqd
