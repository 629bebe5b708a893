// A clock for tests: time moves only when a handler waits or a test advances it.
// Scheduler::advance() moves it to where a real front end would wake: the
// last of the ticks due within Scheduler::kCoalesceMs of the first, so tests
// see the same grouped, slightly late deliveries as the program.
#pragma once

#include "model/scheduler.h"

namespace vqd {

class VirtualClock final : public Clock {
public:
    std::int64_t now_ms() const override { return now_; }
    void wait_ms(int ms) override {
        if (ms > 0) now_ += ms;
    }
    void set(std::int64_t t) {
        if (t > now_) now_ = t;
    }

private:
    std::int64_t now_ = 0;
};

}  // namespace vqd
