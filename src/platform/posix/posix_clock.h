// Real time for the scheduler without a toolkit: the steady clock, and a wait
// that simply sleeps. A front end with windows to paint brings its own wait.
#pragma once

#include "model/scheduler.h"

namespace vqd {

class PosixClock final : public Clock {
public:
    std::int64_t now_ms() const override;
    void wait_ms(int ms) override;
};

}  // namespace vqd
