#include "platform/posix/realtime_driver.h"

#include <algorithm>

namespace vqd {

void run_realtime(Scheduler& scheduler, Clock& clock, const std::function<bool()>& stop, int slice_ms) {
    while (!stop()) {
        scheduler.run_due();
        if (stop()) return;
        const auto now = clock.now_ms();
        const auto next = scheduler.next_due();
        const auto until = next ? std::min<std::int64_t>(*next, now + slice_ms) : now + slice_ms;
        if (until > now) clock.wait_ms(static_cast<int>(until - now));
    }
}

}  // namespace vqd
