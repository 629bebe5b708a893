#include "platform/posix/posix_clock.h"

#include <chrono>
#include <thread>

namespace vqd {

std::int64_t PosixClock::now_ms() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void PosixClock::wait_ms(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace vqd
